#include "service/core/message_queue.h"

#include "service/core/trace.h"

namespace MapsService {

MessageQueue::MessageQueue() = default;

MessageQueue::~MessageQueue() {
    ScopedLock lock(m_mutex);
    m_messages.clear();
}

Result MessageQueue::push(const Message& message) {
    try {
        if (trace_enabled(TraceLevel::Debug)) {
            TraceDebug(L"MessageQueue::push(%s)", describe_message(message).c_str());
        }
        {
            ScopedLock lock(m_mutex);
            m_messages.push_back(message);
        }
        // Posted after unlocking, so the woken consumer does not block on the mutex.
        m_semaphore.post();
        return kResultOk;
    } catch (...) {
        TraceError("exception in MessageQueue::push");
        return kResultFailed;
    }
}

Result MessageQueue::pop(Message& message, std::uint32_t timeoutMilliseconds) {
    try {
        TraceDebug("MessageQueue::pop()...");
        const int waited =
            m_semaphore.wait(timeoutMilliseconds == 0 ? kWaitForever : timeoutMilliseconds);
        if (waited == kWaitAcquired) {
            {
                ScopedLock lock(m_mutex);
                message = m_messages.front();
                m_messages.pop_front();
            }
            if (trace_enabled(TraceLevel::Debug)) {
                TraceDebug(L"MessageQueue::pop(%s)", describe_message(message).c_str());
            }
            return kResultOk;
        }
        if (waited == kWaitTimedOut) {
            message = Message(MSG_NOTHING);
            TraceInfo(L"MessageQueue::pop(%s) time out", describe_message(message).c_str());
            return kResultOk;
        }
        TraceError(L"MessageQueue::pop() undefined state");
        return kResultFailed;
    } catch (...) {
        TraceError(L"MessageQueue::pop() exception");
        return kResultFailed;
    }
}

void MessageQueue::add_message(const Message& message) {
    TraceDebug("MessageQueue::add_message %s", message_type_name(message.type));
    (void)push(message);
}

MessageQueue& message_queue() {
    // Never destroyed: producers on library threads may still post during exit.
    static MessageQueue* queue = new MessageQueue();
    return *queue;
}

namespace {
[[maybe_unused]] const MessageQueue& kEarlyQueue = message_queue();
}  // namespace

void OnPhoneFound(MessagePhone* phone) {
    message_queue().add_message(Message(MSG_PHONE_FOUND, phone));
}
void OnPhoneLost(MessagePhone* phone) {
    message_queue().add_message(Message(MSG_PHONE_LOST, phone));
}
void OnDriveFound(MessageDrive* drive) {
    message_queue().add_message(Message(MSG_DRIVE_FOUND, drive));
}
void OnDriveLost(MessageDrive* drive) {
    message_queue().add_message(Message(MSG_DRIVE_LOST, drive));
}
void OnQueryingServer(MessageDrive* drive) {
    message_queue().add_message(Message(MSG_QUERYING_SERVER, drive));
}
void OnMapsIncomplete(MessageDrive* drive) {
    message_queue().add_message(Message(MSG_MAPS_INCOMPLETE, drive));
}

void OnDownloadProgress(std::int32_t kind, std::int32_t result, std::int32_t id,
                        std::uint64_t bytes1, double percent1, std::uint64_t bytes2,
                        double percent2) {
    TraceDebug("MessageQueue::OnDownloadProgress %g%%", percent1);
    message_queue().add_message(
        Message(MSG_DOWNLOAD_PROGRESS, kind, result, id, bytes1, percent1, bytes2, percent2));
}

void OnUnzipProgress(std::int32_t kind, std::int32_t result, std::int32_t id, std::uint64_t bytes1,
                     double percent1, std::uint64_t bytes2, double percent2) {
    TraceDebug("MessageQueue::OnUnzipProgress %g%%", percent1);
    message_queue().add_message(
        Message(MSG_UNZIP_PROGRESS, kind, result, id, bytes1, percent1, bytes2, percent2));
}

void OnDeleteProgress(std::int32_t kind, std::int32_t result, std::uint64_t bytes1,
                      double percent1) {
    TraceDebug("MessageQueue::OnDeleteProgress %g%%", percent1);
    message_queue().add_message(
        Message(MSG_DELETE_PROGRESS, kind, result, 0, bytes1, percent1, 0, 0.0));
}

void OnInstallProgress(std::int32_t kind, std::int32_t result, std::uint64_t bytes1,
                       std::uint64_t bytes2, double percent1) {
    TraceDebug("MessageQueue::OnInstallProgress %g%%", percent1);
    message_queue().add_message(
        Message(MSG_INSTALL_PROGRESS, kind, result, 0, bytes1, percent1, bytes2, 0.0));
}

void OnInstallUserActionNeeded() {
    message_queue().add_message(Message(MSG_INSTALL_USER_ACTION_NEEDED));
}

Result get_message(Message& message, std::uint32_t timeoutMilliseconds) {
    TraceDebug("get_message( ) called");
    return message_queue().pop(message, timeoutMilliseconds);
}

Result post_finish() {
    return message_queue().push(Message(MSG_FINISH));
}

}  // namespace MapsService
