#include <gtest/gtest.h>

#include <sstream>

#include "mapserver/catalog_text.h"
#include "mapserver/content.h"
#include "tests/support/temp_dir.h"

using namespace atlasync::mapserver;
using atlasync::testing::TempDir;
using atlasync::testing::write_file;

namespace {

std::string load_error(const TempDir& dir) {
    try {
        Content::load(dir.path());
    } catch (const ContentError& error) {
        return error.what();
    }
    return "";
}

}  // namespace

TEST(CatalogText, RecordsSurviveWritingAndReadingWithNonAsciiTextAndEqualsInValues) {
    MapsService::ServerRecord first;
    first.id = -5;
    first.parentId = 12;
    first.name = L"Zürich Süd";
    first.attributes = {{L"File", L"{root}/a.zip?x=1"}, {L"Desc", L"Straße \"alt\""}};
    MapsService::ServerRecord second;
    second.id = 7;
    std::stringstream text;
    write_catalog_record(text, first);
    write_catalog_record(text, second);
    const auto records = read_catalog(text, "t");
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0], first);
    EXPECT_EQ(records[1], second);
}

TEST(CatalogText, MalformedLinesAreRefusedWithTheirLineNumber) {
    const std::pair<const char*, const char*> cases[] = {
        {"record x 0 Name\n", "t:1"},
        {"# c\nFile=a\n", "t:2: attribute before the first record"},
        {"record 1 0 A\njust words\n", "t:2"},
        {"record 1\n", "t:1"},
        {"record 1 0 A\n=value\n", "t:2"},
    };
    for (const auto& [text, expected] : cases) {
        std::istringstream in(text);
        try {
            read_catalog(in, "t");
            ADD_FAILURE() << "accepted: " << text;
        } catch (const std::runtime_error& error) {
            EXPECT_NE(std::string(error.what()).find(expected), std::string::npos) << error.what();
        }
    }
}

TEST(CatalogText, TextTooLongForOneTlvItemIsRefused) {
    std::istringstream in("record 1 0 " + std::string(40000, 'x') + "\n");
    EXPECT_THROW(read_catalog(in, "t"), std::runtime_error);
}

TEST(Content, ManifestIsReadWithVersionsIndexFilesAndPackageVariants) {
    TempDir dir;
    write_file(dir / "manifest.txt",
               "# sample\n"
               "server-version 2.4.0.0\n"
               "version-list 2.3.6.0 2.3.5\n"
               "version-encoding hex\n"
               "category-tree tree.bin\n"
               "cachedat-header head.bin\n"
               "package voices all.txt encoding=raw\n"
               "package voices fr.txt language=l02\n"
               "package voices fr60.txt language=L02 os=S60\n");
    write_file(dir / "tree.bin", std::string("\x15\x00\x00", 3));
    write_file(dir / "head.bin", "CDH");
    write_file(dir / "all.txt", "record 1 0 All\n");
    write_file(dir / "fr.txt", "record 2 0 French\n");
    write_file(dir / "fr60.txt", "record 3 0 French S60\n");
    const Content content = Content::load(dir.path());
    EXPECT_EQ(content.server_version()->text(), "2.4.0.0");
    ASSERT_EQ(content.version_list().size(), 2u);
    EXPECT_EQ(content.version_list()[1].text(), "2.3.5");
    EXPECT_EQ(content.version_encoding(), Encoding::Hex);
    EXPECT_EQ(content.category_tree()->size(), 3u);
    EXPECT_EQ(*content.cachedat_header(), "CDH");
    EXPECT_TRUE(content.has_package("voices"));
    EXPECT_FALSE(content.has_package("Voices"));

    const auto name_of = [&](const char* language, const char* os) {
        return content.find_variant("voices", language, "", os)->records.at(0).name;
    };
    EXPECT_EQ(name_of("", ""), L"All");
    EXPECT_EQ(name_of("l01", ""), L"All");
    EXPECT_EQ(name_of("L02", ""), L"French");
    EXPECT_EQ(name_of("l02", "s60"), L"French S60");  // the most specific variant wins
    EXPECT_EQ(content.find_variant("voices", "", "", "")->encoding, Encoding::Raw);
    EXPECT_EQ(content.find_variant("maps", "", "", ""), nullptr);
}

TEST(Content, BrokenManifestsNameTheFileAndLine) {
    const std::pair<const char*, const char*> cases[] = {
        {"bogus 1\n", "manifest.txt:1: unknown keyword"},
        {"\nserver-version 1.x\n", "manifest.txt:2"},
        {"package p missing.txt\n", "cannot read"},
        {"package p ../outside.txt\n", "leaves the folder"},
        {"package p /etc/passwd\n", "must be a relative path"},
        {"category-tree\n", "needs 1 argument"},
        {"package p c.txt colour=red\n", "unknown package property"},
        {"version-encoding base64\n", "raw or hex"},
    };
    for (const auto& [manifest, expected] : cases) {
        TempDir dir;
        write_file(dir / "manifest.txt", manifest);
        write_file(dir / "c.txt", "record 1 0 A\n");
        const std::string error = load_error(dir);
        EXPECT_NE(error.find(expected), std::string::npos) << manifest << " -> " << error;
    }
    TempDir empty;
    EXPECT_NE(load_error(empty).find("cannot read"), std::string::npos);
}

TEST(MapVersion, TextsParseIntoSetPartsAndPrintBack) {
    EXPECT_EQ(MapVersion::parse("1.1.7.0")->parts, (std::array<std::uint32_t, 4>{1, 1, 7, 0}));
    EXPECT_EQ(MapVersion::parse("3.0")->text(), "3.0");
    EXPECT_EQ(MapVersion::parse("3.0")->parts[2], MapVersion::kUnset);
    for (const char* bad : {"", "1.", ".1", "1..2", "a.b", "1.2.3.4.5", "-1.0"}) {
        EXPECT_FALSE(MapVersion::parse(bad)) << bad;
    }
}
