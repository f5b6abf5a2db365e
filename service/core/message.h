#pragma once

#include <cstdint>
#include <string>

namespace MapsService {

// What a message needs of the phone it names. The phone manager's phones
// implement it and keep themselves alive while messages may refer to them.
class MessagePhone {
public:
    virtual ~MessagePhone() = default;
    // The phone's display text in message descriptions.
    virtual std::wstring message_text() const = 0;
};

// What a message needs of the drive it names.
class MessageDrive {
public:
    virtual ~MessageDrive() = default;
    virtual MessagePhone* message_phone() const = 0;
    // The drive's description in message descriptions.
    virtual std::wstring message_text() const = 0;
};

enum MessageType : std::int32_t {
    MSG_NOTHING = 0,
    MSG_PHONE_FOUND = 1,
    MSG_PHONE_LOST = 2,
    MSG_DRIVE_FOUND = 3,
    MSG_DRIVE_LOST = 4,
    MSG_DOWNLOAD_PROGRESS = 5,
    MSG_UNZIP_PROGRESS = 6,
    MSG_DELETE_PROGRESS = 7,
    MSG_API_UPDATE_AVAILABLE = 8,
    MSG_FINISH = 9,
    MSG_QUERYING_SERVER = 10,
    MSG_INSTALL_PROGRESS = 11,
    MSG_INSTALL_USER_ACTION_NEEDED = 12,
    // The drive's maps are incomplete until an update completes them: one
    // began changing the drive, or found it left so by an earlier one.
    MSG_MAPS_INCOMPLETE = 13,
};

enum ProgressKind : std::int32_t {
    PACKAGE_STARTED = 0,
    PACKAGE_FINISHED = 1,
    ITEM_STARTED = 2,
    ITEM_FINISHED = 3,
    ITEM_PROGRESS = 4,
};

// The name of a type code, "unknown" outside the table.
const char* message_type_name(std::int32_t type);
// The name of a progress kind, "???" outside the table.
const char* progress_kind_name(std::int32_t kind);

// A plain value record, copied into and out of the queue. It never owns the
// phone or drive it refers to.
struct Message {
    std::int32_t type = MSG_NOTHING;
    MessagePhone* phone = nullptr;
    MessageDrive* drive = nullptr;
    std::int32_t kind = ITEM_PROGRESS;
    std::int32_t result = 1;   // result code of the step that ended; 0 while running
    std::int32_t id = 0;       // region or voice id of the item; 0 for package steps
    std::uint64_t bytes1 = 0;  // bytes done of the current item (install: transferred)
    double percent1 = 0.0;     // item percentage, 0 to 100 (install: the phone's figure)
    std::uint64_t bytes2 = 0;  // bytes done of the whole package (install: total)
    double percent2 = 0.0;     // package percentage, 0 to 100

    // The consumer's receive buffer: type 0, kind ITEM_PROGRESS, result 1.
    Message() = default;
    explicit Message(std::int32_t messageType);
    Message(std::int32_t messageType, MessagePhone* messagePhone);
    // The phone is taken from the drive when a drive is given.
    Message(std::int32_t messageType, MessageDrive* messageDrive);
    Message(std::int32_t messageType, std::int32_t progressKind, std::int32_t resultCode,
            std::int32_t itemId, std::uint64_t itemBytes, double itemPercent,
            std::uint64_t packageBytes, double packagePercent);
};

// The trace's description: the type name, a blank, then what the type carries.
std::wstring describe_message(const Message& message);

}  // namespace MapsService
