#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace atlasync::ui {

// What the wizard's command line asks for.
struct WizardOptions {
    // Mounted folders taken as USB volumes that just arrived, absolute.
    std::vector<std::filesystem::path> volumes;
    // The map server's root instead of the compiled-in one, one that
    // server_url_of_root takes; empty: unchanged.
    std::wstring serverRoot;
    // PEM certificates an https server's must chain to instead of the
    // system's trust store, absolute; empty: the store.
    std::filesystem::path caFile;
    // The language page first, as if asked for during the splash.
    bool language = false;
    // The text front end instead of the window.
    bool text = false;
    // The demo: a sample world served on loopback and a simulated phone.
    bool demo = false;
    // Where the demo keeps its world and phone; empty: a new folder.
    std::filesystem::path demoDir;
    // Accept every offered download without asking (text front end).
    bool yes = false;
    // The service's trace on standard error.
    bool verbose = false;
    // The service's trace into this file; empty: none.
    std::filesystem::path logFile;
    bool help = false;
    bool version = false;
};

// The outcome of reading a command line: the options, or the message that
// says what was wrong with it.
struct ParsedOptions {
    WizardOptions options;
    std::string error;  // empty when the command line is good
};

// Reads the arguments after the program's name. Qt's own options (-platform,
// -style, ...) must have been taken out already.
ParsedOptions parse_wizard_options(const std::vector<std::string>& args);

// The text of --help.
std::string wizard_usage(const std::string& program);

}  // namespace atlasync::ui
