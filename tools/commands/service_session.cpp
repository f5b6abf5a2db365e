// The service calls of atlasync-tool check and update, in the wizard's order.

#include "tools/commands/service_session.h"

#include <cstdarg>
#include <cstdio>
#include <filesystem>

#include "service/core/message_queue.h"
#include "service/core/text.h"
#include "service/facade/maps_service.h"
#include "tools/commands/json_output.h"
#include "tools/options.h"

namespace atlasync::tool {

namespace {

using namespace MapsService;

double megabytes(std::uint64_t bytes) {
    return static_cast<double>(bytes) / (1024.0 * 1024.0);
}

void print_items(const std::vector<DownloadItemInfo>& items, int depth) {
    for (const DownloadItemInfo& item : items) {
        std::printf("  %*s%d %s (type %d): %llu bytes, %llu unpacked\n", depth * 2, "", item.id,
                    to_narrow(item.name).c_str(), item.itemType,
                    static_cast<unsigned long long>(item.byteSize),
                    static_cast<unsigned long long>(item.contentSize));
        print_items(item.children, depth + 1);
    }
}

}  // namespace

bool parse_session_options(const char* command, const std::vector<std::string>& args, bool allowApp,
                           SessionOptions& options) {
    options.command = command;
    Options parser(command, "");
    add_server_options(parser, options.server);
    parser.number("--drive", options.driveId, 1);
    parser.number("--drive-flags", options.driveFlags);
    parser.each("--volume", [&options](const std::string& value) {
        std::error_code error;
        const std::filesystem::path volume(value);
        if (!std::filesystem::is_directory(volume, error)) {
            return "'" + value + "' is not a folder";
        }
        options.volumes.push_back(std::filesystem::absolute(volume).lexically_normal().string());
        return std::string();
    });
    if (allowApp) {
        parser.flag("--app", options.app);
    }
    parser.flag("--json", options.json);
    add_trace_options(parser, options.trace);
    if (!parser.parse(args) || !apply_trace_options(command, options.trace)) {
        return false;
    }
    return true;
}

ServiceSession::ServiceSession(SessionOptions options)
    : m_options(std::move(options)),
      m_printer(std::make_unique<ProgressPrinter>(m_options.json ? ProgressPrinter::Form::Json
                                                                 : ProgressPrinter::Form::Text)) {}

ServiceSession::~ServiceSession() {
    (void)finish();
}

void ServiceSession::say(const char* format, ...) const {
    if (m_options.json) {
        return;
    }
    va_list args;
    va_start(args, format);
    std::vprintf(format, args);
    va_end(args);
}

bool ServiceSession::report(const char* step, Result result, const std::string& volume) {
    m_report.steps.push_back({step, volume, result, {}});
    // The step's messages, still queued when it returned, are printed before its result.
    if (m_printer) {
        m_printer->flush();
    }
    if (volume.empty()) {
        say("%s: %d\n", step, result);
    } else {
        say("volume %s: %d\n", volume.c_str(), result);
    }
    std::fflush(stdout);
    if (is_success(result)) {
        return true;
    }
    // In JSON standard error carries JSON lines only: the cause is the document's.
    std::string& cause = m_report.steps.back().cause;
    if (result == kResultDriveBusy) {
        cause = "another update of this drive is running";
        if (!m_options.json) {
            std::fprintf(stderr, "atlasync-tool: %s: %s\n", step, cause.c_str());
        }
    }
    if (m_firstFailure == kResultOk) {
        m_firstFailure = result;
        m_report.failedStep = m_report.steps.size() - 1;
        if (cause.empty()) {
            cause = to_narrow(last_failure_cause());
        }
        if (!m_options.json) {
            (void)print_failure_cause(m_options.command.c_str());
        }
    }
    return false;
}

bool ServiceSession::check() {
    if (!m_options.server.root.empty() &&
        !report("set_server_root", set_server_root(m_options.server.root))) {
        return false;
    }
    if (!m_options.server.caFile.empty() &&
        !report("set_ca_file", set_ca_file(m_options.server.caFile))) {
        return false;
    }
    m_report.server = to_narrow(get_server_url());
    say("server: %s\n", m_report.server.c_str());
    return report("get_mapsapp_catalog", get_mapsapp_catalog()) && start_service() &&
           choose_drive() && describe_drive();
}

bool ServiceSession::start_service() {
    if (!report("initialize", initialize(m_options.driveFlags))) {
        return false;
    }
    m_started = true;
    for (const std::string& volume : m_options.volumes) {
        if (!report("add_volume", add_volume(to_wide(volume)), volume)) {
            return false;
        }
    }
    m_report.phonesLookedFor = true;
    m_report.phones = connected_phones();
    return true;
}

bool ServiceSession::choose_drive() {
    m_driveId = m_options.driveId;
    if (m_driveId == 0) {
        m_driveId = first_maps_drive_id();
        if (m_driveId == 0) {
            say("no maps drive found\n");
            const bool found = report("select_phone_drive", kResultInvalidDrive);
            m_report.steps.back().cause = "no maps drive found";
            return found;
        }
    }
    return true;
}

bool ServiceSession::describe_drive() {
    m_versionCheck = select_phone_drive(m_driveId);
    if (!report("select_phone_drive", m_versionCheck)) {
        return false;
    }
    m_report.driveId = m_driveId;
    m_report.mapsNeedUpdate = m_versionCheck == kResultMapsNeedUpdate;
    CurrentDriveVersions versions;
    (void)read_current_drive_versions(versions);
    m_report.driveName = to_narrow(versions.name);
    say("drive %d: %s, maps %s\n", m_driveId, m_report.driveName.c_str(),
        m_report.mapsNeedUpdate ? "need an update" : "are current");
    read_versions(versions);
    if (!report("GetRegionList", GetRegionList(m_regions)) ||
        !report("GetVoicesList", GetVoicesList(m_voices))) {
        return false;
    }
    print_regions_and_voices();
    return read_application_offer() && print_download_size();
}

void ServiceSession::read_versions(const CurrentDriveVersions& versions) {
    m_report.installedMapVersion = to_narrow(versions.installedMaps.to_text());
    m_report.offeredMapVersion = to_narrow(versions.offeredMaps.to_text());
    m_report.installedAppVersion = versions.installedApplication;
    m_installedApp = versions.installedApplication;
    if (!m_report.installedMapVersion.empty()) {
        say("map data: %s installed, %s on the server\n", m_report.installedMapVersion.c_str(),
            m_report.offeredMapVersion.empty() ? "unknown" : m_report.offeredMapVersion.c_str());
    }
}

void ServiceSession::print_regions_and_voices() {
    m_report.regions = m_regions;
    m_report.voices.clear();
    say("regions:");
    for (std::int32_t region : m_regions) {
        say(" %d", region);
    }
    say("\nvoices:");
    for (const VoiceInfo& voice : m_voices) {
        m_report.voices.push_back({voice.id, to_narrow(voice.name)});
        say(" %s(%d)", m_report.voices.back().name.c_str(), voice.id);
    }
    say("\n");
}

bool ServiceSession::read_application_offer() {
    m_offer = false;
    m_report.appOffered = false;
    const Result result = get_mapsapp_update_info(m_updateInfo);
    // No offer for this phone is an answer, not a failure.
    if (result == kResultNoUpdateInfo || result == kResultInvalidDrive) {
        m_report.steps.push_back({"get_mapsapp_update_info", {}, result, {}});
        say("get_mapsapp_update_info: %d (no maps application offered)\n", result);
        return true;
    }
    if (!report("get_mapsapp_update_info", result)) {
        return false;
    }
    m_offer = true;
    m_report.appOffered = true;
    m_report.offeredAppTitle = to_narrow(m_updateInfo.title);
    m_report.offeredAppVersion = m_updateInfo.newVersion;
    m_report.offeredAppBytes = m_updateInfo.contentSize;
    say("maps application offered: %s %s, %llu bytes\n", m_report.offeredAppTitle.c_str(),
        to_narrow(m_updateInfo.newVersion.to_text()).c_str(),
        static_cast<unsigned long long>(m_updateInfo.contentSize));
    return true;
}

bool ServiceSession::print_download_size() {
    std::uint64_t download = 0;
    std::uint64_t unpacked = 0;
    std::vector<DownloadItemInfo> items;
    if (!report("get_download_size",
                get_download_size(m_regions, m_voices, download, unpacked, items))) {
        return false;
    }
    m_report.sized = true;
    m_report.downloadBytes = download;
    m_report.unpackedBytes = unpacked;
    m_report.items = items;
    say("download size: %.1f MiB (%llu bytes), %.1f MiB unpacked\n", megabytes(download),
        static_cast<unsigned long long>(download), megabytes(unpacked));
    if (!m_options.json) {
        print_items(items, 0);
    }
    return true;
}

bool ServiceSession::update_offered() const {
    const bool newerApp = m_offer && (!m_installedApp.is_valid() ||
                                      m_installedApp.is_older_than(m_updateInfo.newVersion));
    return m_report.mapsNeedUpdate || newerApp;
}

bool ServiceSession::update() {
    const bool updated =
        (!m_options.app || !m_offer || report("update_mapsapp", update_mapsapp(m_updateInfo))) &&
        report("update_maps_version", update_maps_version()) &&
        report("download", download(m_regions, m_voices));
    // What the check found before is stale whatever the update came to; the
    // text lines said each step as it went and need no second reading.
    if (m_options.json) {
        m_report.forget_drive();
        m_report.phones = connected_phones();
        (void)describe_drive();
    }
    return updated;
}

int ServiceSession::finish(int successStatus) {
    if (m_printer) {
        m_printer->flush();
        m_printer.reset();
    }
    if (m_started) {
        m_started = false;
        report("finalize", finalize());
        // What finalising announced names released phones: dropped unread.
        Message message;
        while (get_message(message, 1) == kResultOk && message.type != MSG_NOTHING) {
        }
    }
    const int status = m_firstFailure != kResultOk ? m_firstFailure : successStatus;
    if (m_options.json && !m_finished) {
        m_finished = true;
        m_report.result = status;
        std::printf("%s\n", session_json(m_options.command, m_report).c_str());
        std::fflush(stdout);
    }
    return status;
}

}  // namespace atlasync::tool
