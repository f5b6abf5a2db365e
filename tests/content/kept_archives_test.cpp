#include "service/content/kept_archives.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>

#include "service/protocol/md5_digest.h"
#include "tests/support/temp_dir.h"

using namespace MapsService;
using atlasync::testing::read_file;
using atlasync::testing::TempDir;
using atlasync::testing::write_file;
namespace fs = std::filesystem;

namespace {

const std::wstring kUrl = L"http://maps.localhost:8080/maps/regions/R100004.zip";
const std::string kBytes = "PK archive bytes";

std::string md5_of(const std::string& text) {
    Md5Digest digest;
    digest.update(text.data(), text.size());
    return digest.hex();
}

}  // namespace

TEST(KeptArchives, AKeptArchiveIsTakenOnlyWhenTheCatalogsMd5VouchesForIt) {
    TempDir temp;
    const KeptArchives kept(temp.path() / "kept");
    const std::string name = KeptArchives::name_of(kUrl);
    EXPECT_NE(name, KeptArchives::name_of(kUrl + L"x"));
    const fs::path target = temp.path() / "slot" / name;
    fs::create_directories(target.parent_path());
    const struct {
        const char* what;
        std::string checksum;
        bool taken;
        bool stays;  // in the keep afterwards
    } rows[] = {
        {"no checksum to go by", "", false, true},
        {"other bytes than the catalog's", md5_of("other"), false, false},
        {"the catalog's bytes", md5_of(kBytes), true, false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        write_file(temp.path() / name, kBytes);
        ASSERT_TRUE(kept.keep(temp.path() / name));
        EXPECT_EQ(kept.take(kUrl, row.checksum, target), row.taken);
        EXPECT_EQ(fs::exists(temp.path() / "kept" / name), row.stays);
        EXPECT_EQ(fs::exists(target), row.taken);
        if (row.taken) {
            EXPECT_EQ(read_file(target), kBytes);
        }
        fs::remove(temp.path() / "kept" / name);
        fs::remove(target);
    }
    EXPECT_FALSE(kept.take(kUrl, md5_of(kBytes), target));  // nothing kept
}

TEST(KeptArchives, AWorkFolderLeftBehindGivesItsWholeArchivesAndOldOnesGo) {
    TempDir temp;
    const KeptArchives kept(temp.path() / "kept");
    const fs::path left = temp.path() / "4242-1-1";
    const std::string whole = KeptArchives::name_of(kUrl);
    write_file(left / "3" / whole, kBytes);
    write_file(left / "4" / "R100005.zip", "half written");  // under the URL's own name
    write_file(left / "unzip" / KeptArchives::name_of(L"x"), "an entry being unpacked");
    kept.adopt(left);
    EXPECT_TRUE(fs::exists(temp.path() / "kept" / whole));
    EXPECT_FALSE(fs::exists(temp.path() / "kept" / "R100005.zip"));
    EXPECT_FALSE(fs::exists(temp.path() / "kept" / KeptArchives::name_of(L"x")));

    const std::string old = KeptArchives::name_of(L"http://maps.localhost/old.zip");
    write_file(temp.path() / "kept" / old, kBytes);
    fs::last_write_time(temp.path() / "kept" / old,
                        fs::file_time_type::clock::now() - std::chrono::hours(25));
    kept.prune();
    EXPECT_FALSE(fs::exists(temp.path() / "kept" / old));
    EXPECT_TRUE(fs::exists(temp.path() / "kept" / whole));
    kept.drop(kUrl);
    kept.prune();
    EXPECT_FALSE(fs::exists(temp.path() / "kept"));  // an empty keep goes
}
