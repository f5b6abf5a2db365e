#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>

namespace devlinx::sim {

// Keys of a small INI file, lower-cased, values trimmed. Section headers and
// comment lines (";" or "#") are skipped: every file here has one section.
class Ini {
public:
    static std::optional<Ini> read(const std::filesystem::path& file);

    std::string text(const std::string& key, const std::string& fallback = {}) const;
    bool has(const std::string& key) const { return m_values.count(key) != 0; }
    // Decimal or 0x-hexadecimal; the fallback when missing or malformed.
    std::uint32_t number(const std::string& key, std::uint32_t fallback) const;
    const std::map<std::string, std::string>& values() const { return m_values; }

private:
    static std::optional<Ini> parse(const std::filesystem::path& file);

    std::map<std::string, std::string> m_values;
};

std::optional<std::uint32_t> parse_number(const std::string& text);

}  // namespace devlinx::sim
