#include "mapserver/content.h"

#include <charconv>
#include <fstream>
#include <sstream>

#include "mapserver/catalog_text.h"
#include "mapserver/text_util.h"

namespace atlasync::mapserver {

namespace {

namespace fs = std::filesystem;

bool property_matches(const std::optional<std::string>& wanted, const std::string& requested) {
    return !wanted || iequals(*wanted, requested);
}

// A path the manifest names must stay inside the content folder.
fs::path inside(const fs::path& folder, std::string_view relative, const std::string& where) {
    const fs::path path(relative);
    if (path.is_absolute() || relative.empty()) {
        throw ContentError(where + ": \"" + std::string(relative) + "\" must be a relative path");
    }
    for (const auto& part : path) {
        if (part == "..") {
            throw ContentError(where + ": \"" + std::string(relative) + "\" leaves the folder");
        }
    }
    return folder / path;
}

std::string read_whole(const fs::path& path, const std::string& where) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        throw ContentError(where + ": cannot read " + path.string());
    }
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

MapVersion parse_version(std::string_view text, const std::string& where) {
    auto version = MapVersion::parse(text);
    if (!version) {
        throw ContentError(where + ": \"" + std::string(text) + "\" is not a version a.b.c.d");
    }
    return *version;
}

}  // namespace

std::optional<Encoding> encoding_from_text(std::string_view text) {
    if (text == "raw") {
        return Encoding::Raw;
    }
    if (text == "hex") {
        return Encoding::Hex;
    }
    return std::nullopt;
}

const char* encoding_text(Encoding encoding) {
    return encoding == Encoding::Raw ? "raw" : "hex";
}

std::optional<MapVersion> MapVersion::parse(std::string_view text) {
    MapVersion version;
    std::size_t index = 0;
    while (!text.empty()) {
        if (index == version.parts.size()) {
            return std::nullopt;
        }
        const auto dot = text.find('.');
        const std::string_view part = text.substr(0, dot);
        std::uint32_t value = 0;
        const auto [end, error] = std::from_chars(part.data(), part.data() + part.size(), value);
        if (part.empty() || error != std::errc() || end != part.data() + part.size()) {
            return std::nullopt;
        }
        version.parts[index++] = value;
        text = dot == std::string_view::npos ? std::string_view() : text.substr(dot + 1);
        if (dot != std::string_view::npos && text.empty()) {
            return std::nullopt;
        }
    }
    if (index == 0) {
        return std::nullopt;
    }
    return version;
}

std::string MapVersion::text() const {
    std::string text;
    for (std::uint32_t part : parts) {
        if (part == kUnset) {
            break;
        }
        text += (text.empty() ? "" : ".") + std::to_string(part);
    }
    return text;
}

bool CatalogVariant::matches(const std::string& requestLanguage, const std::string& requestVersion,
                             const std::string& requestOs) const {
    return property_matches(language, requestLanguage) &&
           property_matches(version, requestVersion) &&
           property_matches(operatingSystem, requestOs);
}

int CatalogVariant::specificity() const {
    return int(language.has_value()) + int(version.has_value()) + int(operatingSystem.has_value());
}

Content Content::load(const fs::path& folder) {
    Content content;
    content.m_folder = folder;
    const fs::path manifest = folder / kManifestName;
    std::ifstream in(manifest);
    if (!in) {
        throw ContentError("cannot read " + manifest.string());
    }
    std::string line;
    int number = 0;
    while (std::getline(in, line)) {
        ++number;
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        content.read_manifest_line(line, manifest.string() + ":" + std::to_string(number));
    }
    return content;
}

void Content::read_manifest_line(const std::string& line, const std::string& where) {
    const std::string_view text = trim(line);
    if (text.empty() || text.front() == '#') {
        return;
    }
    const auto words = split_words(text, std::string_view::npos);
    const std::string_view keyword = words[0];
    const auto needs = [&](std::size_t count) {
        if (words.size() < count + 1) {
            throw ContentError(where + ": " + std::string(keyword) + " needs " +
                               std::to_string(count) + " argument(s)");
        }
    };
    if (keyword == "server-version") {
        needs(1);
        m_serverVersion = parse_version(words[1], where);
    } else if (keyword == "version-list") {
        m_versionList.clear();
        for (std::size_t i = 1; i < words.size(); ++i) {
            m_versionList.push_back(parse_version(words[i], where));
        }
    } else if (keyword == "version-encoding") {
        needs(1);
        const auto encoding = encoding_from_text(words[1]);
        if (!encoding) {
            throw ContentError(where + ": encoding must be raw or hex");
        }
        m_versionEncoding = *encoding;
    } else if (keyword == "category-tree") {
        needs(1);
        m_categoryTree = read_whole(inside(m_folder, words[1], where), where);
    } else if (keyword == "cachedat-header") {
        needs(1);
        m_cachedatHeader = read_whole(inside(m_folder, words[1], where), where);
    } else if (keyword == "package") {
        needs(2);
        CatalogVariant variant;
        variant.name = std::string(words[1]);
        for (std::size_t i = 3; i < words.size(); ++i) {
            const auto equals = words[i].find('=');
            const std::string_view key = words[i].substr(0, equals);
            const std::string value(equals == std::string_view::npos ? std::string_view()
                                                                     : words[i].substr(equals + 1));
            if (equals == std::string_view::npos) {
                throw ContentError(where + ": expected key=value, found \"" +
                                   std::string(words[i]) + "\"");
            } else if (key == "encoding") {
                const auto encoding = encoding_from_text(value);
                if (!encoding) {
                    throw ContentError(where + ": encoding must be raw or hex");
                }
                variant.encoding = *encoding;
            } else if (key == "language") {
                variant.language = value;
            } else if (key == "version") {
                variant.version = value;
            } else if (key == "os") {
                variant.operatingSystem = value;
            } else {
                throw ContentError(where + ": unknown package property \"" + std::string(key) +
                                   "\"");
            }
        }
        const fs::path catalog = inside(m_folder, words[2], where);
        std::ifstream in(catalog);
        if (!in) {
            throw ContentError(where + ": cannot read " + catalog.string());
        }
        try {
            variant.records = read_catalog(in, catalog.string());
        } catch (const std::runtime_error& error) {
            throw ContentError(error.what());
        }
        m_variants.push_back(std::move(variant));
    } else {
        throw ContentError(where + ": unknown keyword \"" + std::string(keyword) + "\"");
    }
}

bool Content::has_package(const std::string& name) const {
    for (const auto& variant : m_variants) {
        if (variant.name == name) {
            return true;
        }
    }
    return false;
}

const CatalogVariant* Content::find_variant(const std::string& name, const std::string& language,
                                            const std::string& version,
                                            const std::string& os) const {
    const CatalogVariant* best = nullptr;
    for (const auto& variant : m_variants) {
        if (variant.name == name && variant.matches(language, version, os) &&
            (!best || variant.specificity() > best->specificity())) {
            best = &variant;
        }
    }
    return best;
}

}  // namespace atlasync::mapserver
