#pragma once

#include <QApplication>
#include <functional>
#include <memory>

namespace atlasync::ui {

class CMainThreadCallGate;
class CSkin;
class CUILanguageManager;
class QHsm;

// The application: the start-up around one run of the wizard and the end
// after it. Start: the profile's home ("Velka"), the bundled fonts, the
// language manager and the main call gate, the skin. End: released in the
// opposite order once the wizard's run has returned.
class CAtlasyncApp {
public:
    CAtlasyncApp(int& argc, char** argv);
    ~CAtlasyncApp();
    CAtlasyncApp(const CAtlasyncApp&) = delete;
    CAtlasyncApp& operator=(const CAtlasyncApp&) = delete;

    // The one application of the process; null outside its lifetime.
    static CAtlasyncApp* instance();

    // Starts up, runs the wizard (which answers the run's result) and ends;
    // the wizard's result.
    int run(const std::function<int()>& wizard);

    // The running state machine, through which observers and pages reach it;
    // null before and after the wizard's run.
    QHsm* state_machine() const { return m_machine; }
    void set_state_machine(QHsm* machine) { m_machine = machine; }

    QApplication& application() { return m_application; }
    // What start-up acquired; null before start and after the end.
    CUILanguageManager* language_manager() const { return m_languages.get(); }
    bool call_gate_held() const { return m_callGate != nullptr; }
    const CSkin* skin() const { return m_skin.get(); }

private:
    void start_up();
    void end();

    QApplication m_application;
    std::shared_ptr<CUILanguageManager> m_languages;
    std::unique_ptr<CMainThreadCallGate> m_callGate;
    std::unique_ptr<CSkin> m_skin;
    QHsm* m_machine = nullptr;
};

}  // namespace atlasync::ui
