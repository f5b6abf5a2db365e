#pragma once

#include <string>
#include <vector>

#include "service/core/message.h"
#include "tools/commands/session_report.h"

namespace atlasync::tool {

// The tools' machine-readable output, described field by field in
// docs/json.md. Every document and every line carries "schema": a reader
// checks it before anything else, and it grows only when a field changes its
// meaning or goes away. Names from drives and phones are not trusted to be
// UTF-8: bytes that are not come out as U+FFFD.
inline constexpr int kJsonSchema = 1;

// One document: what check or update found, each step's code and the exit status.
std::string session_json(const std::string& command, const SessionReport& report);
// One document: the phones found and, when a step failed, its error.
std::string phones_json(const std::vector<MapsService::PhoneInfo>& phones,
                        const StepReport* failure);
// One document: a command that failed before it found anything.
std::string failure_json(const StepReport& failure);
// One line, no line break: a service message; progress with its figures.
std::string message_json(const MapsService::Message& message);
// One line: the user asked to stop, the running step is being cancelled.
std::string interrupted_json();

}  // namespace atlasync::tool
