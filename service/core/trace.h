#pragma once

#include <cstdarg>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

namespace MapsService {

class IniFile;

enum class TraceLevel : std::int32_t { Generic = 0, Error = 1, Warning = 2, Info = 3, Debug = 4 };

// The eleven-character tag of a level, "[???]" for values outside the table.
const char* trace_level_tag(std::int32_t level);

// Where the command line sends the trace instead of the log file the settings
// name: standard error (--verbose), a file (--log), or both.
struct TraceTarget {
    bool standardError = false;
    std::string file;  // as given: a relative name is taken from the working directory
    bool active() const { return standardError || !file.empty(); }
};

// The log files; lines never interleave because every write holds the tracer lock.
class Tracer {
public:
    // Reads "tracelevel", "logfile" and "clearlog". A relative "logfile" goes
    // to the state folder: the working directory of an installed program may
    // be any folder, the user's home or "/". With an active target the level
    // defaults to Debug and the settings' log file is not written. Throws
    // std::runtime_error ("unable to create tracer") when nothing could be opened.
    explicit Tracer(IniFile& settings, const TraceTarget& target = {});

    std::int32_t level() const { return m_level; }
    const std::string& log_file_name() const { return m_logFileName; }
    bool clear_log() const { return m_clearLog; }

    // Writes one line: date, time, thread, level tag, message.
    void write_line(std::int32_t level, const std::string& message);

private:
    std::unique_ptr<std::ofstream> m_file;
    // m_file and std::cerr, as the target asks; never empty once constructed.
    std::vector<std::ostream*> m_sinks;
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

// Sends the trace from now on where the target says (an inactive one: back to
// the settings) and opens it at once; false, with the reason in `error`, when
// the target's file cannot be written.
[[nodiscard]] bool set_trace_target(const TraceTarget& target, std::string& error);

// The user's folder for what the programs write: stateHome (else
// home/.local/state) joined with "atlasync", created with mode 0700 since
// logs name the user's phones and servers. Empty when neither base is an
// absolute path or the folder cannot be made.
std::filesystem::path state_folder(const std::filesystem::path& stateHome,
                                   const std::filesystem::path& home);
// The same from $XDG_STATE_HOME and $HOME.
std::filesystem::path state_folder();

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
