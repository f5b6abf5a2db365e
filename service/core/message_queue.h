#pragma once

#include <cstdint>
#include <deque>

#include "service/core/message.h"
#include "service/core/result_codes.h"
#include "service/core/sync.h"

namespace MapsService {

// Carries messages from any service thread to the wizard's one consumer, in
// push order. The semaphore counts queued messages, so a consumer that took a
// unit always finds a message.
class MessageQueue : private NonCopyable {
public:
    static constexpr std::uint32_t kMaximumCount = 0x0FFFFFFF;

    MessageQueue();
    ~MessageQueue();

    [[nodiscard]] Result push(const Message& message);
    // A time-out of 0 waits without limit; on time-out the message is of type MSG_NOTHING.
    [[nodiscard]] Result pop(Message& message, std::uint32_t timeoutMilliseconds);
    void add_message(const Message& message);

private:
    // Private to this process: a semaphore shared by name with a second instance
    // would wake one process for the other's messages.
    Semaphore m_semaphore{0, kMaximumCount, nullptr};
    Mutex m_mutex;
    std::deque<Message> m_messages;
};

// The process-wide queue.
MessageQueue& message_queue();

// Producers: each builds one message and adds it to the process-wide queue.
void OnPhoneFound(MessagePhone* phone);
void OnPhoneLost(MessagePhone* phone);
void OnDriveFound(MessageDrive* drive);  // null marks the end of the first enumeration
void OnDriveLost(MessageDrive* drive);
void OnQueryingServer(MessageDrive* drive);
void OnMapsIncomplete(MessageDrive* drive);
void OnDownloadProgress(std::int32_t kind, std::int32_t result, std::int32_t id,
                        std::uint64_t bytes1, double percent1, std::uint64_t bytes2,
                        double percent2);
void OnUnzipProgress(std::int32_t kind, std::int32_t result, std::int32_t id, std::uint64_t bytes1,
                     double percent1, std::uint64_t bytes2, double percent2);
void OnDeleteProgress(std::int32_t kind, std::int32_t result, std::uint64_t bytes1,
                      double percent1);
// Mind the order: the phone's percentage comes last.
void OnInstallProgress(std::int32_t kind, std::int32_t result, std::uint64_t bytes1,
                       std::uint64_t bytes2, double percent1);
void OnInstallUserActionNeeded();

// The wizard's side: blocks for the next message (time-out 0: no limit).
[[nodiscard]] Result get_message(Message& message, std::uint32_t timeoutMilliseconds);
// Ends the wizard's consumer loop.
[[nodiscard]] Result post_finish();

}  // namespace MapsService
