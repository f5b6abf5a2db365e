#include "service/core/message.h"

#include <sstream>

#include "service/core/text.h"

namespace MapsService {

namespace {

struct CodeName {
    std::int32_t code;
    const char* name;
};

constexpr CodeName kMessageTypes[] = {
    {MSG_NOTHING, "MSG_NOTHING"},
    {MSG_PHONE_FOUND, "MSG_PHONE_FOUND"},
    {MSG_PHONE_LOST, "MSG_PHONE_LOST"},
    {MSG_DRIVE_FOUND, "MSG_DRIVE_FOUND"},
    {MSG_DRIVE_LOST, "MSG_DRIVE_LOST"},
    {MSG_DOWNLOAD_PROGRESS, "MSG_DOWNLOAD_PROGRESS"},
    {MSG_UNZIP_PROGRESS, "MSG_UNZIP_PROGRESS"},
    {MSG_DELETE_PROGRESS, "MSG_DELETE_PROGRESS"},
    {MSG_API_UPDATE_AVAILABLE, "MSG_API_UPDATE_AVAILABLE"},
    {MSG_FINISH, "MSG_FINISH"},
    {MSG_QUERYING_SERVER, "MSG_QUERYING_SERVER"},
    {MSG_INSTALL_PROGRESS, "MSG_INSTALL_PROGRESS"},
    {MSG_INSTALL_USER_ACTION_NEEDED, "MSG_INSTALL_USER_ACTION_NEEDED"},
    {MSG_MAPS_INCOMPLETE, "MSG_MAPS_INCOMPLETE"},
};

constexpr CodeName kProgressKinds[] = {
    {PACKAGE_STARTED, "PACKAGE_STARTED"}, {PACKAGE_FINISHED, "PACKAGE_FINISHED"},
    {ITEM_STARTED, "ITEM_STARTED"},       {ITEM_FINISHED, "ITEM_FINISHED"},
    {ITEM_PROGRESS, "ITEM_PROGRESS"},
};

template <std::size_t N>
const char* lookup(const CodeName (&table)[N], std::int32_t code, const char* fallback) {
    for (const CodeName& entry : table) {
        if (entry.code == code) {
            return entry.name;
        }
    }
    return fallback;
}

}  // namespace

const char* message_type_name(std::int32_t type) {
    return lookup(kMessageTypes, type, "unknown");
}

const char* progress_kind_name(std::int32_t kind) {
    return lookup(kProgressKinds, kind, "???");
}

Message::Message(std::int32_t messageType) : type(messageType), result(0) {}

Message::Message(std::int32_t messageType, MessagePhone* messagePhone)
    : type(messageType), phone(messagePhone), result(0) {}

Message::Message(std::int32_t messageType, MessageDrive* messageDrive)
    : type(messageType),
      phone(messageDrive != nullptr ? messageDrive->message_phone() : nullptr),
      drive(messageDrive),
      result(0) {}

Message::Message(std::int32_t messageType, std::int32_t progressKind, std::int32_t resultCode,
                 std::int32_t itemId, std::uint64_t itemBytes, double itemPercent,
                 std::uint64_t packageBytes, double packagePercent)
    : type(messageType),
      kind(progressKind),
      result(resultCode),
      id(itemId),
      bytes1(itemBytes),
      percent1(itemPercent),
      bytes2(packageBytes),
      percent2(packagePercent) {}

std::wstring describe_message(const Message& message) {
    std::wostringstream text;
    text << to_wide(message_type_name(message.type)) << L' ';
    switch (message.type) {
        case MSG_PHONE_FOUND:
        case MSG_PHONE_LOST:
            text << (message.phone != nullptr ? message.phone->message_text() : L"null");
            break;
        case MSG_DRIVE_FOUND:
        case MSG_DRIVE_LOST:
        case MSG_QUERYING_SERVER:
        case MSG_MAPS_INCOMPLETE:
            text << (message.drive != nullptr ? message.drive->message_text() : L"null");
            break;
        case MSG_DOWNLOAD_PROGRESS:
        case MSG_UNZIP_PROGRESS:
        case MSG_DELETE_PROGRESS:
        case MSG_INSTALL_PROGRESS:
            text << L"type: " << to_wide(progress_kind_name(message.kind)) << L" id: " << message.id
                 << L" result: " << message.result << L" bytes1: " << message.bytes1
                 << L" percent1: " << message.percent1 << L" bytes2: " << message.bytes2
                 << L" percent2: " << message.percent2;
            break;
        default:
            break;
    }
    return text.str();
}

}  // namespace MapsService
