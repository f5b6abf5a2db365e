#pragma once

#include <string>
#include <vector>

#include "service/core/message.h"
#include "tools/commands/session_report.h"

namespace atlasync::tool {

// The tools' machine-readable output. Names from drives and phones are not
// trusted to be UTF-8: bytes that are not come out as U+FFFD.

// One document: what check or update found, each step's code and the exit status.
std::string session_json(const SessionReport& report);
// One document: {"phones": [...]}.
std::string phones_json(const std::vector<MapsService::PhoneInfo>& phones);
// One line, no line break: a service message; progress with its figures.
std::string message_json(const MapsService::Message& message);
// One line: the user asked to stop, the running step is being cancelled.
std::string interrupted_json();

}  // namespace atlasync::tool
