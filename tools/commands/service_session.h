#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "service/core/result_codes.h"
#include "service/facade/maps_service.h"
#include "tools/commands/progress_printer.h"
#include "tools/commands/server_options.h"
#include "tools/commands/session_report.h"
#include "tools/commands/trace_options.h"

namespace atlasync::tool {

struct SessionOptions {
    std::string command;               // "check" or "update", as the documents name it
    ServerChoice server;               // the map server and whom to trust as it
    std::int32_t driveId = 0;          // 0: the first maps drive found
    std::vector<std::string> volumes;  // folders handed in as USB volumes
    std::int32_t driveFlags = 0;
    bool app = false;   // update: install an offered maps application too
    bool json = false;  // one JSON document on stdout, progress as JSON lines on stderr
    TraceOptions trace;
};

// Parses the options shared by check and update; false (reported) on bad input.
bool parse_session_options(const char* command, const std::vector<std::string>& args, bool allowApp,
                           SessionOptions& options);

// Runs the wizard's service calls in the wizard's order and prints what each
// found: as it goes in text, as one document at the end in JSON. Keeps the
// first failing code as the exit status.
class ServiceSession {
public:
    explicit ServiceSession(SessionOptions options);
    ~ServiceSession();
    ServiceSession(const ServiceSession&) = delete;
    ServiceSession& operator=(const ServiceSession&) = delete;

    // Server root, catalog, start, drive, regions and voices, application
    // offer, download size. False when a step failed.
    bool check();
    // The maps application (with --app), the map version and the download;
    // in JSON the drive is read again, so that the document tells what the
    // update left on it.
    bool update();
    // Stops the message pump, then finalises a started service; answers the
    // exit status: the first failing step's code, else the given status. In
    // JSON the document is printed here, once, with that status.
    int finish(int successStatus = 0);
    // After a check: the drive's maps need an update, or the server offers a
    // maps application newer than the phone's (as the wizard decides).
    bool update_offered() const;

private:
    // A line of the text output; nothing in JSON.
    void say(const char* format, ...) const __attribute__((format(printf, 2, 3)));
    // Prints the step's result; false (and the code kept) when it failed.
    bool report(const char* step, MapsService::Result result, const std::string& volume = {});
    bool start_service();
    bool choose_drive();
    // The chosen drive's versions, regions, voices, application offer and
    // download size, as a check reads them.
    bool describe_drive();
    void print_regions_and_voices();
    void read_versions(const MapsService::CurrentDriveVersions& versions);
    bool read_application_offer();
    bool print_download_size();

    SessionOptions m_options;
    // Ended before the service finalises: messages name phones and drives.
    std::unique_ptr<ProgressPrinter> m_printer;
    bool m_started = false;
    MapsService::Result m_firstFailure = MapsService::kResultOk;
    std::int32_t m_driveId = 0;
    MapsService::Result m_versionCheck = MapsService::kResultOk;
    SessionReport m_report;
    bool m_finished = false;
    std::vector<std::int32_t> m_regions;
    std::vector<MapsService::VoiceInfo> m_voices;
    bool m_offer = false;
    MapsService::MapsappVersionInfo m_installedApp;
    MapsService::MapsUpdateInfo m_updateInfo;
};

}  // namespace atlasync::tool
