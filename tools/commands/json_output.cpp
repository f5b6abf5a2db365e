// JSON forms of the tools' reports, made with nlohmann::json.

#include "tools/commands/json_output.h"

#include <nlohmann/json.hpp>

#include "service/core/text.h"

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

json drive_json(const DriveInfo& drive) {
    return {{"id", drive.id},
            {"name", to_narrow(drive.name)},
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

bool is_progress(std::int32_t type) {
    return type == MSG_DOWNLOAD_PROGRESS || type == MSG_UNZIP_PROGRESS ||
           type == MSG_DELETE_PROGRESS || type == MSG_INSTALL_PROGRESS;
}

}  // namespace

std::string session_json(const SessionReport& report) {
    json voices = json::array();
    for (const VoiceReport& voice : report.voices) {
        voices.push_back({{"id", voice.id}, {"name", voice.name}});
    }
    json steps = json::array();
    for (const StepReport& step : report.steps) {
        steps.push_back({{"step", step.step}, {"code", step.code}});
    }
    json drive = nullptr;
    if (report.driveId != 0) {
        drive = {{"id", report.driveId},
                 {"name", text_or_null(report.driveName)},
                 {"maps_need_update", report.mapsNeedUpdate}};
    }
    json application = {{"installed_version", text_or_null(report.installedAppVersion)},
                        {"offered_version", text_or_null(report.offeredAppVersion)}};
    if (!report.offeredAppVersion.empty()) {
        application["title"] = report.offeredAppTitle;
        application["bytes"] = report.offeredAppBytes;
    }
    json download = nullptr;
    if (report.sized) {
        download = {{"bytes", report.downloadBytes},
                    {"unpacked_bytes", report.unpackedBytes},
                    {"items", items_json(report.items)}};
    }
    const json document = {
        {"server", report.server},
        {"phones", phones_array(report.phones)},
        {"drive", std::move(drive)},
        {"map_data",
         {{"installed_version", text_or_null(report.installedMapVersion)},
          {"offered_version", text_or_null(report.offeredMapVersion)}}},
        {"maps_application", std::move(application)},
        {"download", std::move(download)},
        {"regions", report.regions},
        {"voices", std::move(voices)},
        {"steps", std::move(steps)},
        {"result", report.result},
    };
    return dump(document, 2);
}

std::string phones_json(const std::vector<PhoneInfo>& phones) {
    return dump(json{{"phones", phones_array(phones)}}, 2);
}

std::string message_json(const Message& message) {
    json line = {{"event", is_progress(message.type) ? "progress" : "message"},
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
    return dump(json{{"event", "interrupted"}}, -1);
}

}  // namespace atlasync::tool
