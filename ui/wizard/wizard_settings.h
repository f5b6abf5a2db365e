#pragma once

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace atlasync::ui {

// What a front end tells the wizard before it runs.
struct WizardSettings {
    // Map server root; when not empty it wins over "ServerRoot" of the
    // simulation profile.
    std::string serverRoot;
    // PEM certificates an https server's must chain to; empty: the system's store.
    std::filesystem::path caFile;
    // Mounted folders the service treats as USB volumes once it is initialised.
    std::vector<std::filesystem::path> volumes;
    // Show the language page after the splash, as if asked during the splash.
    bool languagePage = false;
    // The simulation profile; empty: "AtlasyncSim.ini" in the program's folder.
    std::filesystem::path simulationProfile;
    std::chrono::milliseconds splashTime{5000};
    // Names the single-instance guard's kernel objects, which are the user's
    // own; the sibling program uses the same name, so only runs side by side
    // under one user (tests) change it (ATLASYNC_INSTANCE_GUARD).
    std::string instanceGuardName = "Mapporter API";
    // What the machine reads for "at most once a second" of the progress
    // texts; tests step it instead of waiting.
    std::function<std::chrono::steady_clock::time_point()> clock = [] {
        return std::chrono::steady_clock::now();
    };
};

}  // namespace atlasync::ui
