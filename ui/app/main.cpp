// atlasync: the wizard that brings the maps on a phone up to date.

#include <unistd.h>

#include <QCoreApplication>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "exit_codes/exit_codes.h"
#include "service/core/result_codes.h"
#include "service/core/text.h"
#include "service/core/trace.h"
#include "ui/app/atlasync_app.h"
#include "ui/app/display_probe.h"
#include "ui/app/state_machine_dlg.h"
#include "ui/app/wizard_options.h"
#include "ui/demo/demo_environment.h"
#include "ui/messaging/ui_language_manager.h"
#include "ui/pages/language_names.h"
#include "ui/pages/version_info.h"
#include "ui/text/terminal_output.h"
#include "ui/text/text_wizard.h"

namespace {

bool asks_for(int argc, char** argv, std::string_view option) {
    for (int i = 1; i < argc; ++i) {
        if (argv[i] == option) {
            return true;
        }
    }
    return false;
}

// The platform named outright with -platform or QT_QPA_PLATFORM; empty when none.
std::string named_platform(int argc, char** argv) {
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::string_view(argv[i]) == "-platform") {
            return argv[i + 1];
        }
    }
    const char* platform = std::getenv("QT_QPA_PLATFORM");
    return platform != nullptr ? platform : "";
}

// A window needs a display: X11 or Wayland that answers, or another platform
// named outright. A display named but not there is said, and the terminal serves.
bool display_available(int argc, char** argv) {
    const std::string platform = named_platform(argc, argv);
    if (!platform.empty() && !platform.starts_with("xcb") && !platform.starts_with("wayland")) {
        return true;
    }
    const atlasync::ui::DisplayProbe probe = atlasync::ui::probe_display();
    if (probe.named && !probe.reachable) {
        std::fprintf(stderr, "atlasync: cannot open the display '%s'; using the text front end\n",
                     probe.display.c_str());
    }
    return probe.reachable;
}

// The settings of a run from its options; with --demo, the demo's world and
// phone are prepared and its server started, for as long as the holder lives.
std::optional<atlasync::ui::WizardSettings> settings_for(
    const atlasync::ui::WizardOptions& options,
    std::unique_ptr<atlasync::ui::DemoEnvironment>& demo) {
    atlasync::ui::WizardSettings settings;
    settings.serverRoot = MapsService::to_narrow(options.serverRoot);
    settings.caFile = options.caFile;
    settings.volumes = options.volumes;
    settings.languagePage = options.language;
    // Runs side by side under one user (tests) each name a guard of their own.
    if (const char* guard = std::getenv("ATLASYNC_INSTANCE_GUARD"); guard != nullptr && *guard) {
        settings.instanceGuardName = guard;
    }
    if (!options.demo) {
        return settings;
    }
    try {
        demo = std::make_unique<atlasync::ui::DemoEnvironment>(options.demoDir);
        demo->use_phone_farm();
        if (settings.serverRoot.empty()) {
            settings.serverRoot = demo->start_server();
        }
    } catch (const std::exception& error) {
        std::fprintf(stderr, "atlasync: the demo cannot start: %s\n", error.what());
        return std::nullopt;
    }
    std::fprintf(stderr, "atlasync: demo folder %s%s\n", demo->folder().c_str(),
                 demo->reused() ? " (reused)" : "");
    return settings;
}

// Reads the command line and prepares the run; an unusable command line or
// demo is reported, no settings come back and `failure` is the exit status.
std::optional<atlasync::ui::WizardSettings> settings_from_command_line(
    const std::vector<std::string>& args, atlasync::ui::WizardOptions& options,
    std::unique_ptr<atlasync::ui::DemoEnvironment>& demo, int& failure) {
    const atlasync::ui::ParsedOptions parsed = atlasync::ui::parse_wizard_options(args);
    if (!parsed.error.empty()) {
        std::fprintf(stderr, "atlasync: %s\n%s", parsed.error.c_str(),
                     atlasync::ui::wizard_usage("atlasync").c_str());
        failure = atlasync::kExitUsage;
        return std::nullopt;
    }
    options = parsed.options;
    MapsService::TraceTarget trace;
    trace.standardError = options.verbose;
    trace.file = options.logFile.string();
    if (std::string error; !MapsService::set_trace_target(trace, error)) {
        std::fprintf(stderr, "atlasync: cannot write the log %s: %s\n", trace.file.c_str(),
                     error.c_str());
        failure = atlasync::kExitUsage;
        return std::nullopt;
    }
    failure = atlasync::kExitFailed;
    return settings_for(options, demo);
}

// Standard output ends with the run's result line; where the demo lives goes
// to the error stream, after it.
void name_demo_folder(const std::unique_ptr<atlasync::ui::DemoEnvironment>& demo) {
    if (demo) {
        std::fprintf(stderr, "atlasync: the demo's world and phone are in %s\n",
                     demo->folder().c_str());
    }
}

std::vector<std::string> arguments_after_program(int argc, char** argv) {
    return std::vector<std::string>(argv + 1, argv + argc);
}

int run_on_terminal(int argc, char** argv) {
    using namespace atlasync::ui;
    QCoreApplication application(argc, argv);
    QCoreApplication::setOrganizationName(QString::fromLatin1(atlasync::kProgramCompany));
    QCoreApplication::setApplicationName(QString::fromLatin1(atlasync::kProgramProductName));
    WizardOptions commandLine;
    std::unique_ptr<DemoEnvironment> demo;
    int failure = 0;
    const std::optional<WizardSettings> settings =
        settings_from_command_line(arguments_after_program(argc, argv), commandLine, demo, failure);
    if (!settings) {
        return failure;
    }
    TerminalOutput out(stdout, detect_terminal(STDOUT_FILENO));
    CTextWizard::Options options;
    options.settings = *settings;
    options.yes = commandLine.yes;
    // The language in use is offered even when no module of it is installed.
    const std::shared_ptr<CUILanguageManager> languages = CUILanguageManager::acquire();
    std::vector<std::uint32_t> ids = languages->available_languages();
    if (std::find(ids.begin(), ids.end(), languages->current_language()) == ids.end()) {
        ids.insert(ids.begin(), languages->current_language());
    }
    const QStringList names = language_display_names(ids);
    for (std::size_t i = 0; i < ids.size(); ++i) {
        options.languages.push_back({ids[i], names[static_cast<qsizetype>(i)].toStdWString()});
    }
    int result = 0;
    {
        CTextWizard wizard(out, std::move(options));
        result = wizard.run();
    }
    std::fflush(stdout);
    name_demo_folder(demo);
    return atlasync::exit_status_for(result);
}

}  // namespace

int main(int argc, char** argv) {
    using namespace atlasync::ui;
    MapsService::set_locale_from_environment();
    // Answered without a window, so that they work on any terminal.
    if (asks_for(argc, argv, "--help") || asks_for(argc, argv, "-h")) {
        std::fputs(wizard_usage("atlasync").c_str(), stdout);
        return 0;
    }
    if (asks_for(argc, argv, "--version")) {
        std::printf("%s %s\n", atlasync::kProgramProductName, atlasync::kProgramVersion);
        return 0;
    }
    if (asks_for(argc, argv, "--text") || !display_available(argc, argv)) {
        return run_on_terminal(argc, argv);
    }
    // The application takes Qt's own options (-platform, -style, ...) out first.
    CAtlasyncApp app(argc, argv);
    std::vector<std::string> args;
    const QStringList arguments = QCoreApplication::arguments();
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        args.push_back(arguments[i].toStdString());
    }
    WizardOptions commandLine;
    std::unique_ptr<DemoEnvironment> demo;
    int failure = 0;
    const std::optional<WizardSettings> settings =
        settings_from_command_line(args, commandLine, demo, failure);
    if (!settings) {
        return failure;
    }
    std::wstring cause;
    const int result = app.run([&] {
        CStateMachineDlg dialog(*settings);
        app.set_state_machine(&dialog);
        const int dialogResult = dialog.DoModal();
        app.set_state_machine(nullptr);
        cause = dialog.failure_cause();
        return dialogResult;
    });
    // The window is gone: a script or a terminal still learns what went wrong.
    if (result != MapsService::kResultOk && result != MapsService::kResultCancelled &&
        !cause.empty()) {
        std::fprintf(stderr, "atlasync: %s\n", MapsService::to_narrow(cause).c_str());
    }
    name_demo_folder(demo);
    return atlasync::exit_status_for(result);
}
