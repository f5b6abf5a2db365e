#include "ui/app/atlasync_app.h"

#include "service/core/trace.h"
#include "ui/controls/bundled_fonts.h"
#include "ui/controls/resources.h"
#include "ui/controls/skin.h"
#include "ui/messaging/call_gate.h"
#include "ui/messaging/ui_language_manager.h"
#include "ui/pages/version_info.h"

namespace atlasync::ui {

namespace {

CAtlasyncApp* g_instance = nullptr;

}  // namespace

CAtlasyncApp::CAtlasyncApp(int& argc, char** argv) : m_application(argc, argv) {
    // The per-user profile lives under the maker's name.
    QCoreApplication::setOrganizationName(QString::fromLatin1(kProgramCompany));
    QCoreApplication::setApplicationName(QString::fromLatin1(kProgramProductName));
    QCoreApplication::setApplicationVersion(QString::fromLatin1(kProgramVersion));
    QGuiApplication::setDesktopFileName(QString::fromLatin1(kDesktopFileName));
    g_instance = this;
}

CAtlasyncApp::~CAtlasyncApp() {
    end();
    g_instance = nullptr;
}

CAtlasyncApp* CAtlasyncApp::instance() {
    return g_instance;
}

int CAtlasyncApp::run(const std::function<int()>& wizard) {
    start_up();
    int result = 2;
    try {
        result = wizard();
    } catch (const std::exception& error) {
        MapsService::TraceError("exception in CAtlasyncApp::run: %s", error.what());
        result = 1;
    }
    m_machine = nullptr;
    end();
    return result;
}

void CAtlasyncApp::start_up() {
    use_resources();
    (void)register_bundled_fonts();
    m_languages = CUILanguageManager::acquire();
    m_callGate = std::make_unique<CMainThreadCallGate>();
    m_skin = std::make_unique<CSkin>(m_application);
}

void CAtlasyncApp::end() {
    m_skin.reset();
    // Every thread that posts to the gate has ended with the wizard's run.
    m_callGate.reset();
    m_languages.reset();
}

}  // namespace atlasync::ui
