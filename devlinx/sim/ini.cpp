#include "devlinx/sim/ini.h"

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <fstream>

#include "devlinx/sim/file_stamp.h"

namespace devlinx::sim {

namespace {

std::string trim(const std::string& text) {
    const auto first = text.find_first_not_of(" \t\r");
    if (first == std::string::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

}  // namespace

std::optional<Ini> Ini::read(const std::filesystem::path& file) {
    // The farm's settings files are read on every call of the library, thousands
    // for one map update; a file is parsed again only once it has changed.
    static StampedReadings<Ini> readFiles;
    struct stat info {};
    const std::optional<FileStamp> stamp = stamp_of(file, &info);
    if (!stamp) {
        return std::nullopt;
    }
    const bool regular = S_ISREG(info.st_mode);
    if (regular) {
        if (auto known = readFiles.find(file.string(), *stamp)) {
            return known;
        }
    }
    std::optional<Ini> ini = parse(file);
    if (ini && regular) {
        readFiles.keep(file.string(), *stamp, *ini);
    }
    return ini;
}

std::optional<Ini> Ini::parse(const std::filesystem::path& file) {
    std::ifstream in(file);
    if (!in) {
        return std::nullopt;
    }
    Ini ini;
    std::string line;
    while (std::getline(in, line)) {
        line = trim(line);
        if (line.empty() || line[0] == ';' || line[0] == '#' || line[0] == '[') {
            continue;
        }
        const auto equals = line.find('=');
        if (equals == std::string::npos) {
            continue;
        }
        std::string key = trim(line.substr(0, equals));
        for (char& c : key) {
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        }
        ini.m_values[key] = trim(line.substr(equals + 1));
    }
    return ini;
}

std::string Ini::text(const std::string& key, const std::string& fallback) const {
    const auto found = m_values.find(key);
    return found == m_values.end() ? fallback : found->second;
}

std::uint32_t Ini::number(const std::string& key, std::uint32_t fallback) const {
    const auto found = m_values.find(key);
    if (found == m_values.end()) {
        return fallback;
    }
    return parse_number(found->second).value_or(fallback);
}

std::optional<std::uint32_t> parse_number(const std::string& text) {
    if (text.empty() || text[0] == '-') {
        return std::nullopt;
    }
    errno = 0;
    char* end = nullptr;
    const unsigned long long value = std::strtoull(text.c_str(), &end, 0);
    if (errno != 0 || *end != '\0' || value > 0xFFFFFFFFull) {
        return std::nullopt;
    }
    return static_cast<std::uint32_t>(value);
}

}  // namespace devlinx::sim
