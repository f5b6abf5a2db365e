// JSON forms of the tools' reports, made with nlohmann::json.

#include "tools/commands/json_output.h"

#include <cctype>
#include <nlohmann/json.hpp>

#include "service/core/text.h"
#include "ui/text/markup_text.h"
#include "ui/wizard/error_table.h"

namespace atlasync::tool {

namespace {

// Keys keep the order written here: the outcome reads top to bottom.
using json = nlohmann::ordered_json;
using namespace MapsService;

std::string dump(const json& value, int indent) {
    return value.dump(indent, ' ', false, json::error_handler_t::replace);
}

// Empty texts stand for "not known": null, not "".
json text_or_null(const std::string& text) {
    return text.empty() ? json(nullptr) : json(text);
}

// The facade names some calls as the wizard's own code does ("GetRegionList");
// a document names every step in one style.
std::string snake_case(const std::string& name) {
    std::string result;
    for (const char c : name) {
        if (std::isupper(static_cast<unsigned char>(c)) != 0) {
            if (!result.empty()) {
                result += '_';
            }
            result += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        } else {
            result += c;
        }
    }
    return result;
}

// A phone memory is "\\E:\" to the service; its owner knows it as "E:". A
// volume's name is its folder already.
std::string drive_path(const std::string& name) {
    const std::size_t first = name.find_first_not_of('\\');
    if (first == std::string::npos || first == 0) {
        return name;
    }
    return name.substr(first, name.find_last_not_of('\\') - first + 1);
}

json part_or_null(std::uint32_t part) {
    return part == VersionInfo::kUnset ? json(nullptr) : json(part);
}

// The four numbers alone: the build parts are a field of their own.
json version_or_null(const VersionInfo& version) {
    return text_or_null(to_narrow(version.VersionInfo::to_text()));
}

json build_or_null(const MapsappVersionInfo& version) {
    if (version.year() == VersionInfo::kUnset && version.week() == VersionInfo::kUnset &&
        version.build() == VersionInfo::kUnset) {
        return nullptr;
    }
    return {{"year", part_or_null(version.year())},
            {"week", part_or_null(version.week())},
            {"build", part_or_null(version.build())}};
}

json drive_json(const DriveInfo& drive) {
    return {{"id", drive.id},
            {"name", drive_path(to_narrow(drive.name))},
            {"memory_type", to_narrow(drive.memoryType)},
            {"valid", drive.valid},
            {"total_bytes", drive.totalBytes},
            {"free_bytes", drive.freeBytes}};
}

json phone_json(const PhoneInfo& phone) {
    json drives = json::array();
    for (const DriveInfo& drive : phone.drives) {
        drives.push_back(drive_json(drive));
    }
    return {{"id", phone.id},
            {"name", to_narrow(phone.name)},
            {"serial", to_narrow(phone.serialNumber)},
            {"model", to_narrow(phone.model)},
            {"device_type", phone.deviceType},
            {"generation", phone.generation},
            {"drives", std::move(drives)}};
}

json phones_array(const std::vector<PhoneInfo>& phones) {
    json all = json::array();
    for (const PhoneInfo& phone : phones) {
        all.push_back(phone_json(phone));
    }
    return all;
}

json items_json(const std::vector<DownloadItemInfo>& items) {
    json all = json::array();
    for (const DownloadItemInfo& item : items) {
        all.push_back({{"id", item.id},
                       {"name", to_narrow(item.name)},
                       {"type", item.itemType},
                       {"bytes", item.byteSize},
                       {"unpacked_bytes", item.contentSize},
                       {"children", items_json(item.children)}});
    }
    return all;
}

json step_json(const StepReport& step) {
    json entry = {{"step", snake_case(step.step)}};
    if (!step.volume.empty()) {
        entry["volume"] = step.volume;
    }
    entry["code"] = step.code;
    return entry;
}

// The error page's text for the code, so that a script shows what the wizard
// would; the cause only when something more than the code is known.
json error_json(const StepReport& failure) {
    json error = step_json(failure);
    error["text"] = ui::markup_to_terminal(ui::error_text(failure.code), false);
    if (!failure.cause.empty()) {
        error["cause"] = failure.cause;
    }
    return error;
}

bool is_progress(std::int32_t type) {
    return type == MSG_DOWNLOAD_PROGRESS || type == MSG_UNZIP_PROGRESS ||
           type == MSG_DELETE_PROGRESS || type == MSG_INSTALL_PROGRESS;
}

}  // namespace

std::string session_json(const std::string& command, const SessionReport& report) {
    json voices = json::array();
    for (const VoiceReport& voice : report.voices) {
        voices.push_back({{"id", voice.id}, {"name", voice.name}});
    }
    json steps = json::array();
    for (const StepReport& step : report.steps) {
        steps.push_back(step_json(step));
    }
    json drive = nullptr;
    if (report.driveId != 0) {
        drive = {{"id", report.driveId},
                 {"name", text_or_null(drive_path(report.driveName))},
                 {"maps_need_update", report.mapsNeedUpdate}};
    }
    json application = {{"installed_version", version_or_null(report.installedAppVersion)},
                        {"installed_build", build_or_null(report.installedAppVersion)},
                        {"offered_version", nullptr},
                        {"offered_build", nullptr}};
    if (report.appOffered) {
        application["offered_version"] = version_or_null(report.offeredAppVersion);
        application["offered_build"] = build_or_null(report.offeredAppVersion);
        application["title"] = report.offeredAppTitle;
        application["bytes"] = report.offeredAppBytes;
    }
    json download = nullptr;
    if (report.sized) {
        download = {{"bytes", report.downloadBytes},
                    {"unpacked_bytes", report.unpackedBytes},
                    {"items", items_json(report.items)}};
    }
    json document = {{"schema", kJsonSchema}, {"command", command}, {"server", report.server}};
    if (report.phonesLookedFor) {
        document["phones"] = phones_array(report.phones);
    }
    document["drive"] = std::move(drive);
    document["map_data"] = {{"installed_version", text_or_null(report.installedMapVersion)},
                            {"offered_version", text_or_null(report.offeredMapVersion)}};
    document["maps_application"] = std::move(application);
    document["download"] = std::move(download);
    document["regions"] = report.regions;
    document["voices"] = std::move(voices);
    document["steps"] = std::move(steps);
    document["result"] = report.result;
    if (report.failedStep < report.steps.size()) {
        document["error"] = error_json(report.steps[report.failedStep]);
    }
    return dump(document, 2);
}

std::string phones_json(const std::vector<PhoneInfo>& phones, const StepReport* failure) {
    json document = {{"schema", kJsonSchema}, {"phones", phones_array(phones)}};
    if (failure != nullptr) {
        document["error"] = error_json(*failure);
    }
    return dump(document, 2);
}

std::string failure_json(const StepReport& failure) {
    return dump(json{{"schema", kJsonSchema}, {"error", error_json(failure)}}, 2);
}

std::string message_json(const Message& message) {
    json line = {{"schema", kJsonSchema},
                 {"event", is_progress(message.type) ? "progress" : "message"},
                 {"type", message_type_name(message.type)}};
    if (is_progress(message.type)) {
        line["kind"] = progress_kind_name(message.kind);
        line["id"] = message.id;
        line["result"] = message.result;
        line["item_bytes"] = message.bytes1;
        line["item_percent"] = message.percent1;
        line["bytes"] = message.bytes2;
        line["percent"] = message.percent2;
    } else {
        line["text"] = to_narrow(describe_message(message));
    }
    return dump(line, -1);
}

std::string interrupted_json() {
    return dump(json{{"schema", kJsonSchema}, {"event", "interrupted"}}, -1);
}

}  // namespace atlasync::tool
