#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "service/protocol/server_record.h"

namespace atlasync::mapserver {

// A content folder that cannot be served; the message names the file and line.
class ContentError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// How a TLV answer travels: raw bytes or hexadecimal text.
enum class Encoding { Raw, Hex };

std::optional<Encoding> encoding_from_text(std::string_view text);
const char* encoding_text(Encoding encoding);

// a.b.c.d; a component of 255 is not set.
struct MapVersion {
    static constexpr std::uint32_t kUnset = 255;
    std::array<std::uint32_t, 4> parts{kUnset, kUnset, kUnset, kUnset};

    // "1.1.7.0", "2.4" (missing parts unset); nothing when the text is not a version.
    static std::optional<MapVersion> parse(std::string_view text);
    std::string text() const;
    bool operator==(const MapVersion&) const = default;
};

// One variant of a server package. A property that the variant names must
// equal the request's (letter case aside); one it leaves out matches anything.
struct CatalogVariant {
    std::string name;
    std::optional<std::string> language;
    std::optional<std::string> version;
    std::optional<std::string> operatingSystem;
    Encoding encoding = Encoding::Hex;
    std::vector<MapsService::ServerRecord> records;

    bool matches(const std::string& requestLanguage, const std::string& requestVersion,
                 const std::string& requestOs) const;
    // Number of properties the variant names: the most specific match wins.
    int specificity() const;
};

// Everything a content folder serves, read once at start (see mapserver/README.md).
class Content {
public:
    static constexpr const char* kManifestName = "manifest.txt";
    static constexpr const char* kFilesFolder = "files";

    // Reads the manifest and every catalog and index file it names.
    static Content load(const std::filesystem::path& folder);

    bool has_package(const std::string& name) const;
    // The best matching variant of a known package, or none.
    const CatalogVariant* find_variant(const std::string& name, const std::string& language,
                                       const std::string& version, const std::string& os) const;

    const std::filesystem::path& folder() const { return m_folder; }
    std::filesystem::path files_root() const { return m_folder / kFilesFolder; }
    const std::optional<MapVersion>& server_version() const { return m_serverVersion; }
    const std::vector<MapVersion>& version_list() const { return m_versionList; }
    Encoding version_encoding() const { return m_versionEncoding; }
    const std::optional<std::string>& category_tree() const { return m_categoryTree; }
    const std::optional<std::string>& cachedat_header() const { return m_cachedatHeader; }
    const std::vector<CatalogVariant>& variants() const { return m_variants; }

private:
    void read_manifest_line(const std::string& line, const std::string& where);

    std::filesystem::path m_folder;
    std::optional<MapVersion> m_serverVersion;
    std::vector<MapVersion> m_versionList;
    Encoding m_versionEncoding = Encoding::Raw;
    std::optional<std::string> m_categoryTree;    // bytes answered on /ct
    std::optional<std::string> m_cachedatHeader;  // bytes answered on /qb
    std::vector<CatalogVariant> m_variants;       // in manifest order
};

}  // namespace atlasync::mapserver
