#include "service/core/trace.h"

#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <cwchar>
#include <iostream>
#include <stdexcept>

#include "service/core/core_globals.h"
#include "service/core/ini_file.h"
#include "service/core/sync.h"
#include "service/core/text.h"

namespace MapsService {

namespace {

constexpr std::size_t kTraceBufferSize = 1024;

struct LevelTag {
    std::int32_t level;
    const char* tag;
};

constexpr LevelTag kLevelTags[] = {
    {0, " [generic] "}, {1, " [Error]   "}, {2, " [Warning] "},
    {3, " [Info]    "}, {4, " [Debug]   "},
};

// Lazy creation state, guarded by the tracer lock.
struct TracerSlot {
    std::unique_ptr<Tracer> tracer;
    bool tried = false;
    TraceTarget target;
};

// Never destroyed, so that tracing from static destructors at exit stays safe.
TracerSlot& tracer_slot() {
    static TracerSlot* slot = new TracerSlot();
    return *slot;
}

// Under the tracer lock: the tracer, created on first use. Creation failure is
// final until close_tracer(), so a missing log file costs nothing afterwards.
Tracer* acquire_tracer() {
    TracerSlot& slot = tracer_slot();
    if (!slot.tried) {
        slot.tried = true;
        try {
            slot.tracer = std::make_unique<Tracer>(service_settings(), slot.target);
        } catch (const std::exception&) {
            slot.tracer.reset();
        }
    }
    return slot.tracer.get();
}

bool passes_level(std::int32_t level) {
    ScopedLock lock(tracer_lock());
    const Tracer* tracer = acquire_tracer();
    return tracer != nullptr && tracer->level() >= level;
}

void write_message(std::int32_t level, const std::string& message) {
    ScopedLock lock(tracer_lock());
    if (Tracer* tracer = acquire_tracer()) {
        tracer->write_line(level, message);
    }
}

// Windows' wide printf reads %s and %c as wide; glibc wants %ls and %lc.
std::wstring widen_conversions(const wchar_t* format) {
    std::wstring out;
    for (const wchar_t* p = format; *p != L'\0'; ++p) {
        out.push_back(*p);
        if (*p != L'%') {
            continue;
        }
        ++p;
        if (*p == L'%') {
            out.push_back(*p);
            continue;
        }
        while (*p != L'\0' && std::wcschr(L"-+ #0123456789.*", *p) != nullptr) {
            out.push_back(*p++);
        }
        if (*p == L'\0') {
            break;
        }
        if (*p == L's' || *p == L'c') {
            out.push_back(L'l');
        }
        out.push_back(*p);
    }
    return out;
}

int thread_id() {
    return static_cast<int>(syscall(SYS_gettid));
}

std::filesystem::path environment_path(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? std::filesystem::path(value) : std::filesystem::path();
}

std::unique_ptr<std::ofstream> open_log(const std::filesystem::path& name, bool clear) {
    auto stream = std::make_unique<std::ofstream>(
        name, std::ios::out | (clear ? std::ios::trunc : std::ios::app));
    return *stream ? std::move(stream) : nullptr;
}

}  // namespace

const char* trace_level_tag(std::int32_t level) {
    for (const LevelTag& entry : kLevelTags) {
        if (entry.level == level) {
            return entry.tag;
        }
    }
    return " [???]     ";
}

Tracer::Tracer(IniFile& settings, const TraceTarget& target) {
    const bool loaded = settings.load();
    if (target.active()) {
        m_level = static_cast<std::int32_t>(TraceLevel::Debug);
    }
    if (loaded) {
        const std::int32_t level = settings.get_int(L"tracelevel", m_level);
        if (level >= 0 && level <= 4) {
            m_level = level;
        }
        m_logFileName = to_narrow(settings.get_string(L"logfile", L""));
        m_clearLog = settings.get_int(L"clearlog", 1) == 1;
    }
    if (target.active()) {
        m_logFileName = target.file;
    } else if (!m_logFileName.empty() && std::filesystem::path(m_logFileName).is_relative()) {
        const std::filesystem::path folder = state_folder();
        m_logFileName = folder.empty() ? std::string() : (folder / m_logFileName).string();
    }
    if (!m_logFileName.empty()) {
        m_file = open_log(m_logFileName, m_clearLog || target.active());
        if (!m_file) {
            throw std::runtime_error("unable to create tracer");
        }
        m_sinks.push_back(m_file.get());
    }
    if (target.standardError) {
        m_sinks.push_back(&std::cerr);
    }
    if (m_sinks.empty()) {
        throw std::runtime_error("unable to create tracer");
    }
}

void Tracer::write_line(std::int32_t level, const std::string& message) {
    if (m_sinks.empty() || m_level < level) {
        return;
    }
    using namespace std::chrono;
    const auto now = system_clock::now();
    const std::time_t seconds = system_clock::to_time_t(now);
    const auto millis = duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000;
    std::tm local{};
    localtime_r(&seconds, &local);
    char stamp[64];
    std::snprintf(stamp, sizeof stamp, "%d.%d.%d %02d:%02d:%02d.%03d (%d)", local.tm_mday,
                  local.tm_mon + 1, local.tm_year + 1900, local.tm_hour, local.tm_min, local.tm_sec,
                  static_cast<int>(millis), thread_id());
    for (std::ostream* sink : m_sinks) {
        *sink << stamp << trace_level_tag(level) << ' ' << message << '\n';
        sink->flush();
    }
}

std::string format_trace_message(const char* format, va_list args) {
    char buffer[kTraceBufferSize];
    const int written = std::vsnprintf(buffer, sizeof buffer, format, args);
    if (written < 0) {
        return std::string();
    }
    return std::string(buffer);
}

std::string format_trace_message(const wchar_t* format, va_list args) {
    wchar_t buffer[kTraceBufferSize];
    buffer[0] = L'\0';
    const std::wstring converted = widen_conversions(format);
    // On truncation glibc answers -1 but has still filled the buffer; keep what fits.
    std::vswprintf(buffer, kTraceBufferSize, converted.c_str(), args);
    buffer[kTraceBufferSize - 1] = L'\0';
    return to_narrow(buffer);
}

#define ATLASYNC_TRACE_BODY(level, format)                        \
    do {                                                          \
        if (!passes_level(static_cast<std::int32_t>(level))) {    \
            return;                                               \
        }                                                         \
        va_list args;                                             \
        va_start(args, format);                                   \
        std::string message = format_trace_message(format, args); \
        va_end(args);                                             \
        write_message(static_cast<std::int32_t>(level), message); \
    } while (false)

void TraceError(const char* format, ...) {
    ATLASYNC_TRACE_BODY(TraceLevel::Error, format);
}
void TraceError(const wchar_t* format, ...) {
    ATLASYNC_TRACE_BODY(TraceLevel::Error, format);
}
void TraceWarning(const wchar_t* format, ...) {
    ATLASYNC_TRACE_BODY(TraceLevel::Warning, format);
}
void TraceInfo(const char* format, ...) {
    ATLASYNC_TRACE_BODY(TraceLevel::Info, format);
}
void TraceInfo(const wchar_t* format, ...) {
    ATLASYNC_TRACE_BODY(TraceLevel::Info, format);
}
void TraceDebug(const char* format, ...) {
    ATLASYNC_TRACE_BODY(TraceLevel::Debug, format);
}
void TraceDebug(const wchar_t* format, ...) {
    ATLASYNC_TRACE_BODY(TraceLevel::Debug, format);
}

#undef ATLASYNC_TRACE_BODY

bool trace_enabled(TraceLevel level) {
    return passes_level(static_cast<std::int32_t>(level));
}

void close_tracer() {
    ScopedLock lock(tracer_lock());
    TracerSlot& slot = tracer_slot();
    if (slot.tracer) {
        slot.tracer.reset();
        slot.tried = false;
    }
}

bool set_trace_target(const TraceTarget& target, std::string& error) {
    ScopedLock lock(tracer_lock());
    TracerSlot& slot = tracer_slot();
    slot.tracer.reset();
    slot.tried = false;
    slot.target = target;
    if (!target.active()) {
        return true;
    }
    errno = 0;
    if (acquire_tracer() == nullptr) {
        error = errno != 0 ? std::strerror(errno) : "cannot be opened";
        return false;
    }
    return true;
}

std::filesystem::path state_folder(const std::filesystem::path& stateHome,
                                   const std::filesystem::path& home) {
    // A relative XDG_STATE_HOME is invalid and ignored.
    std::filesystem::path base = stateHome.is_absolute() ? stateHome : std::filesystem::path();
    if (base.empty() && home.is_absolute()) {
        base = home / ".local" / "state";
    }
    if (base.empty()) {
        return {};
    }
    std::error_code ignored;
    std::filesystem::create_directories(base, ignored);
    const std::filesystem::path folder = base / "atlasync";
    if (mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
        return {};
    }
    struct stat info {};
    if (lstat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
        return {};
    }
    return folder;
}

std::filesystem::path state_folder() {
    return state_folder(environment_path("XDG_STATE_HOME"), environment_path("HOME"));
}

ScopeTrace::ScopeTrace(const char* name) : m_name(name) {
    TraceDebug(">> enter %s", m_name);
}

ScopeTrace::~ScopeTrace() {
    TraceDebug("<< leave %s", m_name);
}

}  // namespace MapsService
