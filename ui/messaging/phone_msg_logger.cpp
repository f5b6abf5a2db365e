#include "ui/messaging/phone_msg_logger.h"

#include <cstdio>
#include <ctime>

#include "service/core/text.h"

namespace atlasync::ui {

CPhoneMsgLogger::CPhoneMsgLogger(CMapsMessageThread& pump, std::filesystem::path logPath)
    : CPhoneMsgNfyItem(pump), m_log(std::move(logPath)) {}

void CPhoneMsgLogger::on_message(const MapsService::Message& message, std::uint32_t /*tick*/) {
    if (m_log.path().empty()) {
        return;
    }
    const std::string line = log_time_stamp(std::chrono::system_clock::now()) + " " +
                             MapsService::to_narrow(MapsService::describe_message(message)) +
                             "\r\n";
    (void)m_log.write_line(line);  // a log that cannot be written is skipped
}

std::string log_time_stamp(std::chrono::system_clock::time_point when) {
    const std::time_t seconds = std::chrono::system_clock::to_time_t(when);
    const auto milliseconds =
        std::chrono::duration_cast<std::chrono::milliseconds>(when.time_since_epoch()).count() %
        1000;
    std::tm local{};
    localtime_r(&seconds, &local);
    char text[64];
    std::snprintf(text, sizeof text, "%d.%d.%d %02d:%02d:%02d.%03d", local.tm_mday,
                  local.tm_mon + 1, local.tm_year + 1900, local.tm_hour, local.tm_min, local.tm_sec,
                  static_cast<int>(milliseconds < 0 ? 0 : milliseconds));
    return text;
}

}  // namespace atlasync::ui
