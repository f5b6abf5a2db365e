#include "mapserver/catalog_text.h"

#include <charconv>
#include <limits>
#include <stdexcept>

#include "mapserver/text_util.h"
#include "service/core/text.h"
#include "service/protocol/utf16.h"

namespace atlasync::mapserver {

namespace {

// A TLV value carries at most 65535 bytes, two per UTF-16 unit and a terminator; the
// margin leaves room for the root that replaces "{root}" when the catalog is served.
constexpr std::size_t kMaximumUnits = 65535 / 2 - 1 - 512;

std::wstring checked_text(const std::string& text, const std::string& where) {
    std::wstring wide = MapsService::to_wide(text);
    if (MapsService::utf16_length(wide) > kMaximumUnits) {
        throw std::runtime_error(where + ": text longer than a TLV item can carry");
    }
    return wide;
}

std::int32_t parse_id(std::string_view text, const std::string& where) {
    std::int32_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size()) {
        throw std::runtime_error(where + ": \"" + std::string(text) + "\" is not a record id");
    }
    return value;
}

}  // namespace

std::vector<MapsService::ServerRecord> read_catalog(std::istream& in, const std::string& origin) {
    std::vector<MapsService::ServerRecord> records;
    std::string line;
    int number = 0;
    while (std::getline(in, line)) {
        ++number;
        const std::string where = origin + ":" + std::to_string(number);
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        const std::string_view content = trim(line);
        if (content.empty() || content.front() == '#') {
            continue;
        }
        const auto words = split_words(content, 4);
        if (words[0] == "record") {
            if (words.size() < 3) {
                throw std::runtime_error(where + ": a record needs an id and a parent id");
            }
            MapsService::ServerRecord record;
            record.id = parse_id(words[1], where);
            record.parentId = parse_id(words[2], where);
            record.name = checked_text(words.size() > 3 ? std::string(words[3]) : "", where);
            records.push_back(std::move(record));
            continue;
        }
        const auto equals = content.find('=');
        if (equals == std::string_view::npos || equals == 0) {
            throw std::runtime_error(where + ": expected \"record ID PARENT NAME\" or Key=Value");
        }
        if (records.empty()) {
            throw std::runtime_error(where + ": attribute before the first record");
        }
        records.back().attributes.set(checked_text(std::string(content.substr(0, equals)), where),
                                      checked_text(std::string(content.substr(equals + 1)), where));
    }
    return records;
}

void write_catalog_record(std::ostream& out, const MapsService::ServerRecord& record) {
    out << "record " << record.id << ' ' << record.parentId << ' '
        << MapsService::to_narrow(record.name) << '\n';
    for (const auto& [key, value] : record.attributes) {
        out << MapsService::to_narrow(key) << '=' << MapsService::to_narrow(value) << '\n';
    }
    out << '\n';
}

}  // namespace atlasync::mapserver
