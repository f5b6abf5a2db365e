#include <gtest/gtest.h>

#include <fstream>

#include "mapserver/catalog_text.h"
#include "service/protocol/curl_downloader.h"
#include "service/protocol/package_fetch.h"
#include "service/protocol/tlv_decode.h"
#include "service/protocol/tlv_encode.h"
#include "service/protocol/tlv_tags.h"
#include "tests/mapserver/served_content.h"

using namespace MapsService;
using atlasync::testing::ServedContent;
using atlasync::testing::write_file;
namespace fs = std::filesystem;

namespace {

std::vector<ServerRecord> numbered_records(int count, const std::wstring& prefix) {
    std::vector<ServerRecord> records;
    for (int i = 0; i < count; ++i) {
        ServerRecord r;
        r.id = 1000 + i;
        r.parentId = i / 10;
        r.name = prefix + std::to_wstring(i);
        r.attributes = {{L"File", L"{root}/maps/" + std::to_wstring(i) + L".zip"},
                        {L"ByteSize", std::to_wstring(i * 7)}};
        records.push_back(r);
    }
    return records;
}

void write_catalog(const fs::path& path, const std::vector<ServerRecord>& records) {
    std::ofstream out(path);
    for (const auto& r : records) {
        atlasync::mapserver::write_catalog_record(out, r);
    }
}

Result fetch(const ServedContent& served, const std::string& name, std::vector<ServerRecord>& out,
             const std::string& language = "", const std::string& version = "",
             const std::string& os = "") {
    return fetch_package(served.server_url(), tlv::kContentType,
                         PackageQuery{name, language, version, os}, out);
}

// What the client should see: "{root}" replaced by the root it reached the server by.
std::vector<ServerRecord> as_served(std::vector<ServerRecord> records,
                                    const ServedContent& served) {
    const std::wstring root = served.server_url();
    for (auto& r : records) {
        std::wstring file = r.attributes.value(L"File");
        file.replace(0, 6, root);
        r.attributes.set(L"File", file);
    }
    return records;
}

}  // namespace

TEST(MapServerCatalogs, ClientFetchesLargeCatalogsPageByPageWithEveryRecordIntact) {
    const auto big = numbered_records(1234, L"Region ");
    const auto exact = numbered_records(500, L"Exact ");
    ServedContent served([&](const fs::path& dir) {
        write_catalog(dir / "big.txt", big);
        write_catalog(dir / "exact.txt", exact);
        write_file(dir / "manifest.txt",
                   "package big big.txt encoding=hex\npackage exact exact.txt encoding=raw\n");
    });
    std::vector<ServerRecord> records;
    ASSERT_EQ(fetch(served, "big", records), kResultOk);
    EXPECT_EQ(records, as_served(big, served));
    EXPECT_EQ(served.requests_to("/pg", 3), 3u);  // offsets 0, 500, 1000

    records.clear();
    ASSERT_EQ(fetch(served, "exact", records), kResultOk);
    EXPECT_EQ(records, as_served(exact, served));
    EXPECT_EQ(served.requests_to("/pg", 5), 5u);  // a full page, then an empty one
}

TEST(MapServerCatalogs, SameCatalogServedRawAndAsHexGivesIdenticalRecords) {
    const auto catalog = numbered_records(30, L"Voice ");
    ServedContent served([&](const fs::path& dir) {
        write_catalog(dir / "c.txt", catalog);
        write_file(dir / "manifest.txt",
                   "package asraw c.txt encoding=raw\npackage ashex c.txt encoding=hex\n");
    });
    std::vector<ServerRecord> raw;
    std::vector<ServerRecord> hex;
    ASSERT_EQ(fetch(served, "asraw", raw), kResultOk);
    ASSERT_EQ(fetch(served, "ashex", hex), kResultOk);
    EXPECT_EQ(raw, as_served(catalog, served));
    EXPECT_EQ(hex, raw);
}

TEST(MapServerCatalogs, VariantsAreChosenByLanguageVersionAndOperatingSystem) {
    ServedContent served([&](const fs::path& dir) {
        write_file(dir / "any.txt", "record 1 0 any\n");
        write_file(dir / "fr.txt", "record 2 0 french\n");
        write_file(dir / "fr7.txt", "record 3 0 french 01.01.07\n");
        write_file(dir / "os.txt", "record 4 0 only S60\n");
        write_file(dir / "manifest.txt",
                   "package voices any.txt\n"
                   "package voices fr.txt language=l02\n"
                   "package voices fr7.txt language=l02 version=01.01.07\n"
                   "package apps os.txt os=S60\n");
    });
    const auto name_for = [&](const std::string& package, const std::string& language,
                              const std::string& version, const std::string& os) {
        std::vector<ServerRecord> records;
        EXPECT_EQ(fetch(served, package, records, language, version, os), kResultOk);
        return records.empty() ? std::wstring(L"<none>") : records.front().name;
    };
    EXPECT_EQ(name_for("voices", "", "", ""), L"any");
    EXPECT_EQ(name_for("voices", "l01", "01.01.07", ""), L"any");
    EXPECT_EQ(name_for("voices", "L02", "", ""), L"french");
    EXPECT_EQ(name_for("voices", "l02", "01.01.07", "S60"), L"french 01.01.07");
    EXPECT_EQ(name_for("apps", "", "", "s60"), L"only S60");
    // A known package without a fitting variant is an empty catalog.
    EXPECT_EQ(name_for("apps", "", "", "other"), L"<none>");
    // An unknown package is an error page, which the client refuses by its type.
    std::vector<ServerRecord> records;
    EXPECT_EQ(fetch(served, "nosuch", records), kResultServerError);
    EXPECT_TRUE(records.empty());
}

TEST(MapServerVersions, VersionAnswersDecodeToServerVersionAndVersionList) {
    ServedContent served([&](const fs::path& dir) {
        write_file(dir / "manifest.txt",
                   "server-version 2.4.0.0\nversion-list 2.3.6.0 2.3.5\nversion-encoding hex\n");
    });
    const auto ask = [&](bool list) {
        std::vector<std::uint8_t> query(256);
        Encode encoder(query.data(), query.size(), Encode::kHexMode);
        EXPECT_TRUE(encoder.add_uint16(1, 4));
        EXPECT_TRUE(encoder.add_uint32(23, 2));
        EXPECT_TRUE(encoder.add_uint32(24, 3));
        if (list) {
            EXPECT_TRUE(encoder.add_uint32(3, 64));
        }
        EXPECT_TRUE(encoder.add_end());
        const std::string url = "http://ver.localhost:" + std::to_string(served.port()) + "/vt?" +
                                std::string(query.begin(), query.begin() + encoder.size());
        std::vector<std::uint8_t> body;
        EXPECT_EQ(create_memory_downloader(std::wstring(url.begin(), url.end()))
                      ->Download(body, tlv::kContentType),
                  kResultOk);
        return body;
    };
    // Each version as text, records separated by "|".
    const auto versions_in = [](const std::vector<std::uint8_t>& body) {
        Decode decode(body.data(), body.size(), Decode::kDetect);
        EXPECT_TRUE(decode.hex());
        std::string text;
        std::string current;
        for (const auto& item : decode.items()) {
            if (item.tag >= 40 && item.tag <= 43) {
                current +=
                    (current.empty() ? "" : ".") + std::to_string(*Decode::value_uint32(item));
            } else if (item.tag == tlv::kTagRecordEnd) {
                text += current + "|";
                current.clear();
            }
        }
        return text + current;
    };
    EXPECT_EQ(versions_in(ask(false)), "2.4.0.0");
    EXPECT_EQ(versions_in(ask(true)), "2.3.6.0|2.3.5|");
}

TEST(MapServerVersions, CategoryTreeAndCacheHeaderAreServedWithTheirContentTypes) {
    const std::string tree("\x15\x04\x00\x41\x00\x00\x00\xFE\x00\x00\x00\x00\x00", 13);
    ServedContent served([&](const fs::path& dir) {
        write_file(dir / "tree.tlv", tree);
        write_file(dir / "head.hdr", "CDHxyz");
        write_file(dir / "manifest.txt", "category-tree tree.tlv\ncachedat-header head.hdr\n");
    });
    const auto get = [&](const std::string& label, const std::string& path, std::uint16_t type,
                         const std::wstring& contentType) {
        std::vector<std::uint8_t> query(256);
        Encode encoder(query.data(), query.size(), Encode::kHexMode);
        EXPECT_TRUE(encoder.add_uint16(1, type));
        EXPECT_TRUE(encoder.add_flag(99, true));
        EXPECT_TRUE(encoder.add_uint32(3, 100));
        EXPECT_TRUE(encoder.add_end());
        const std::string url = "http://" + label + ".localhost:" + std::to_string(served.port()) +
                                path + "?" +
                                std::string(query.begin(), query.begin() + encoder.size());
        std::vector<std::uint8_t> body;
        const Result result = create_memory_downloader(std::wstring(url.begin(), url.end()))
                                  ->Download(body, contentType);
        return result == kResultOk ? std::string(body.begin(), body.end()) : "error";
    };
    EXPECT_EQ(get("cat", "/ct", 7, L"application/x-tlv"), tree);
    EXPECT_EQ(get("map", "/qb", 0, L"application/x-hdr"), "CDHxyz");
    // A request of the wrong type is refused with 400 and a text body.
    EXPECT_EQ(get("cat", "/ct", 0, L"application/x-tlv"), "error");
    EXPECT_EQ(get("map", "/qb", 7, L"application/x-hdr"), "error");
}
