#include "service/core/process_info.h"

#include <fstream>
#include <sstream>
#include <string>

namespace MapsService {

std::uint64_t process_start_time(std::int32_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string content;
    if (!std::getline(stat, content)) {
        return 0;
    }
    // The command name may hold blanks and parentheses; fields follow the last ')'.
    const auto close = content.rfind(')');
    if (close == std::string::npos) {
        return 0;
    }
    std::istringstream fields(content.substr(close + 2));
    std::string field;
    std::string state;
    fields >> state;
    if (state == "Z" || state == "X") {
        return 0;  // exited, only waiting to be reaped
    }
    // Fields after the state: ppid pgrp session tty tpgid flags minflt cminflt majflt
    // cmajflt utime stime cutime cstime priority nice threads itrealvalue starttime.
    for (int i = 0; i < 18 && fields >> field; ++i) {
    }
    std::uint64_t start = 0;
    fields >> start;
    return start;
}

}  // namespace MapsService
