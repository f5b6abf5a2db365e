#pragma once

#include <chrono>
#include <filesystem>
#include <string>

#include "ui/messaging/log_file.h"
#include "ui/messaging/maps_message_thread.h"

namespace atlasync::ui {

// Writes every service message to the message log, one line each: the local
// time, a blank and the message's description.
class CPhoneMsgLogger : public CPhoneMsgNfyItem {
public:
    CPhoneMsgLogger(CMapsMessageThread& pump, std::filesystem::path logPath);

    void on_message(const MapsService::Message& message, std::uint32_t tick) override;

    const CLogFile& log_file() const { return m_log; }

private:
    CLogFile m_log;
};

// "d.m.yyyy hh:mm:ss.mmm" in local time: day and month unpadded.
std::string log_time_stamp(std::chrono::system_clock::time_point when);

}  // namespace atlasync::ui
