// atlasync: the wizard that brings the maps on a phone up to date.

#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "service/core/text.h"
#include "ui/app/atlasync_app.h"
#include "ui/app/state_machine_dlg.h"
#include "ui/app/wizard_options.h"
#include "ui/pages/version_info.h"

namespace {

bool asks_for(int argc, char** argv, std::string_view option) {
    for (int i = 1; i < argc; ++i) {
        if (argv[i] == option) {
            return true;
        }
    }
    return false;
}

// A window needs a display: X11, Wayland, or a platform named outright.
bool display_available(int argc, char** argv) {
    if (asks_for(argc, argv, "-platform")) {
        return true;
    }
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
        const char* value = std::getenv(name);
        if (value != nullptr && *value != '\0') {
            return true;
        }
    }
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    using namespace atlasync::ui;
    MapsService::set_locale_from_environment();
    // Answered without a window, so that they work on any terminal.
    if (asks_for(argc, argv, "--help")) {
        std::fputs(wizard_usage("atlasync").c_str(), stdout);
        return 0;
    }
    if (asks_for(argc, argv, "--version")) {
        std::printf("%s %s\n", atlasync::kProgramProductName, atlasync::kProgramVersion);
        return 0;
    }
    if (!display_available(argc, argv)) {
        std::fprintf(stderr, "atlasync: no display to show the wizard on (DISPLAY is not set)\n");
        return 1;
    }
    // The application takes Qt's own options (-platform, -style, ...) out first.
    CAtlasyncApp app(argc, argv);
    std::vector<std::string> args;
    const QStringList arguments = QCoreApplication::arguments();
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        args.push_back(arguments[i].toStdString());
    }
    const ParsedOptions parsed = parse_wizard_options(args);
    if (!parsed.error.empty()) {
        std::fprintf(stderr, "atlasync: %s\n%s", parsed.error.c_str(),
                     wizard_usage("atlasync").c_str());
        return 1;
    }
    WizardSettings settings;
    settings.serverRoot = MapsService::to_narrow(parsed.options.serverRoot);
    settings.volumes = parsed.options.volumes;
    settings.languagePage = parsed.options.language;
    return app.run([&] {
        CStateMachineDlg dialog(settings);
        app.set_state_machine(&dialog);
        const int result = dialog.DoModal();
        app.set_state_machine(nullptr);
        return result;
    });
}
