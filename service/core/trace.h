#pragma once

#include <cstdarg>
#include <cstdint>
#include <fstream>
#include <memory>
#include <string>

namespace MapsService {

class IniFile;

enum class TraceLevel : std::int32_t { Generic = 0, Error = 1, Warning = 2, Info = 3, Debug = 4 };

// The eleven-character tag of a level, "[???]" for values outside the table.
const char* trace_level_tag(std::int32_t level);

// One log file; lines never interleave because every write holds the tracer lock.
class Tracer {
public:
    // Reads "tracelevel", "logfile" and "clearlog"; throws std::runtime_error
    // ("unable to create tracer") when no log file could be opened.
    explicit Tracer(IniFile& settings);

    std::int32_t level() const { return m_level; }
    const std::string& log_file_name() const { return m_logFileName; }
    bool clear_log() const { return m_clearLog; }

    // Writes one line: date, time, thread, level tag, message.
    void write_line(std::int32_t level, const std::string& message);

private:
    std::unique_ptr<std::ofstream> m_stream;
    std::int32_t m_level = 1;
    std::string m_logFileName;
    bool m_clearLog = false;
};

// Formats printf-style into the 1024-character trace buffer, cut, never overflowing.
std::string format_trace_message(const char* format, va_list args);
// As above for wide formats, whose %s and %c take wide arguments; the result is UTF-8.
std::string format_trace_message(const wchar_t* format, va_list args);

void TraceError(const char* format, ...) __attribute__((format(printf, 1, 2)));
void TraceError(const wchar_t* format, ...);
void TraceWarning(const wchar_t* format, ...);
void TraceInfo(const char* format, ...) __attribute__((format(printf, 1, 2)));
void TraceInfo(const wchar_t* format, ...);
void TraceDebug(const char* format, ...) __attribute__((format(printf, 1, 2)));
void TraceDebug(const wchar_t* format, ...);

// True when a message of this level would be written (creates the tracer on first use).
bool trace_enabled(TraceLevel level);

// Closes and deletes the tracer; the next trace call creates it anew from the settings.
void close_tracer();

// Writes ">> enter NAME" now and "<< leave NAME" when the scope ends, also by exception.
class ScopeTrace {
public:
    explicit ScopeTrace(const char* name);
    ~ScopeTrace();
    ScopeTrace(const ScopeTrace&) = delete;
    ScopeTrace& operator=(const ScopeTrace&) = delete;

private:
    const char* m_name;
};

}  // namespace MapsService
