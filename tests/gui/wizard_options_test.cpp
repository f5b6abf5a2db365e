#include <gtest/gtest.h>

#include "tests/support/temp_dir.h"
#include "ui/app/wizard_options.h"

namespace atlasync::ui {
namespace {

TEST(WizardOptions, VolumesServerRootAndLanguageAreRead) {
    testing::TempDir card;
    testing::TempDir reader;
    const auto parsed =
        parse_wizard_options({"--volume", card.path().string(), "--server-root", "localhost:8080",
                              "--language", "--volume=" + reader.path().string()});
    ASSERT_EQ(parsed.error, "");
    ASSERT_EQ(parsed.options.volumes.size(), 2u);
    EXPECT_EQ(parsed.options.volumes[0], card.path());
    EXPECT_EQ(parsed.options.volumes[1], reader.path());
    EXPECT_EQ(parsed.options.serverRoot, L"localhost:8080");
    EXPECT_TRUE(parsed.options.language);
    EXPECT_FALSE(parsed.options.help);

    testing::write_file(card.path() / "ca.pem", "certificates");
    const auto trusted = parse_wizard_options({"--server-root", "https://[::1]:8443/atlas",
                                               "--ca-file", (card.path() / "ca.pem").string()});
    ASSERT_EQ(trusted.error, "");
    EXPECT_EQ(trusted.options.serverRoot, L"https://[::1]:8443/atlas");
    EXPECT_EQ(trusted.options.caFile, card.path() / "ca.pem");

    EXPECT_TRUE(parse_wizard_options({"--help"}).options.help);
    EXPECT_TRUE(parse_wizard_options({"--version"}).options.version);
    const auto none = parse_wizard_options({});
    EXPECT_EQ(none.error, "");
    EXPECT_TRUE(none.options.volumes.empty());
    EXPECT_TRUE(none.options.serverRoot.empty());
}

TEST(WizardOptions, BadCommandLinesSayWhatIsWrong) {
    testing::TempDir folder;
    const auto file = folder.path() / "card.img";
    testing::write_file(file, "x");
    EXPECT_EQ(parse_wizard_options({"--volume", file.string()}).error,
              "--volume: '" + file.string() + "' is not a folder");
    EXPECT_EQ(parse_wizard_options({"--volume"}).error, "--volume needs a value");
    EXPECT_EQ(parse_wizard_options({"--server-root", ""}).error, "--server-root needs a name");
    EXPECT_EQ(parse_wizard_options({"--server-root", "gopher://maps.example.org"}).error,
              "--server-root: the scheme must be http or https, not \"gopher\"");
    EXPECT_EQ(parse_wizard_options({"--ca-file", folder.path().string()}).error,
              "--ca-file: '" + folder.path().string() + "' is not a readable file");
    EXPECT_EQ(parse_wizard_options({"--language=yes"}).error, "--language takes no value");
    EXPECT_EQ(parse_wizard_options({"--colour"}).error, "unknown option '--colour'");
    EXPECT_EQ(parse_wizard_options({"stray"}).error, "unknown option 'stray'");
}

TEST(WizardOptions, UsageNamesEveryOption) {
    const std::string usage = wizard_usage("atlasync");
    for (const char* option : {"--volume PATH", "--server-root ROOT", "--ca-file FILE",
                               "--language", "--help", "--version"}) {
        EXPECT_NE(usage.find(option), std::string::npos) << option;
    }
}

}  // namespace
}  // namespace atlasync::ui
