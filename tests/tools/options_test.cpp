#include "tools/options.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using atlasync::tool::Options;

struct Parsed {
    bool ok = false;
    std::string said;  // on standard error
    std::int32_t drive = 0;
    std::int32_t flags = 0;
    std::string root;
    bool json = false;
    std::vector<std::string> volumes;
    std::vector<std::string> words;
};

// The options of a command like check, with one to four words.
Parsed parse(const std::vector<std::string>& args) {
    Parsed parsed;
    Options options("check", "WORD [WORD]...");
    options.number("--drive", parsed.drive, 1);
    options.number("--drive-flags", parsed.flags);
    options.text("--server-root", parsed.root);
    options.flag("--json", parsed.json);
    options.each("--volume", [&parsed](const std::string& value) {
        if (value == "refused") {
            return std::string("'refused' is not a folder");
        }
        parsed.volumes.push_back(value);
        return std::string();
    });
    options.words(parsed.words, 1, 4);
    testing::internal::CaptureStderr();
    parsed.ok = options.parse(args);
    parsed.said = testing::internal::GetCapturedStderr();
    return parsed;
}

TEST(ToolOptions, WhatIsWrongIsRefusedInOneLineNamingTheCommand) {
    const struct {
        std::vector<std::string> args;
        const char* said;
    } cases[] = {
        {{"w", "--drive", "12abc"}, "--drive needs a whole number from 1, not '12abc'"},
        {{"w", "--drive", "0"}, "--drive needs a whole number from 1, not '0'"},
        {{"w", "--drive", " 3"}, "--drive needs a whole number from 1, not ' 3'"},
        {{"w", "--drive-flags", "99999999999"},
         "--drive-flags needs a whole number, not '99999999999'"},
        {{"w", "--drive-flags", ""}, "--drive-flags needs a whole number, not ''"},
        {{"w", "--drive"}, "--drive needs a value"},
        // Took "--json" for the server's name.
        {{"w", "--server-root", "--json"}, "--server-root needs a value"},
        {{"w", "--volume", "--drive", "3"}, "--volume needs a value"},
        {{"w", "--server-root", ""}, "--server-root needs a value"},
        {{"w", "--server-root="}, "--server-root needs a value"},
        {{"w", "--json=1"}, "unexpected argument '--json=1'"},
        {{"w", "--colour"}, "unexpected argument '--colour'"},
        {{"w", "--volume", "refused"}, "'refused' is not a folder"},
    };
    for (const auto& c : cases) {
        const Parsed parsed = parse(c.args);
        EXPECT_FALSE(parsed.ok) << c.said;
        EXPECT_EQ(parsed.said, std::string("atlasync-tool: check: ") + c.said + "\n");
    }
}

TEST(ToolOptions, TooFewOrTooManyWordsShowTheUsage) {
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{}, {"a", "b", "c", "d", "e"}, {"--json"}}) {
        const Parsed parsed = parse(args);
        EXPECT_FALSE(parsed.ok);
        EXPECT_EQ(parsed.said, "usage: atlasync-tool check WORD [WORD]...\n");
    }
}

TEST(ToolOptions, ValuesAreTakenInEitherSpellingAndRepeatedOptionsInOrder) {
    const Parsed parsed = parse({"first", "--drive=3", "--drive-flags", "-1", "--server-root",
                                 "localhost:80", "--volume", "a", "--json", "--volume=b", "-",
                                 "--volume=--odd", "-x", "--", "--drive"});
    ASSERT_TRUE(parsed.ok) << parsed.said;
    EXPECT_EQ(parsed.said, "");
    EXPECT_EQ(parsed.drive, 3);
    EXPECT_EQ(parsed.flags, -1);
    EXPECT_EQ(parsed.root, "localhost:80");
    EXPECT_TRUE(parsed.json);
    EXPECT_EQ(parsed.volumes, (std::vector<std::string>{"a", "b", "--odd"}));
    // Words may begin with one dash; after "--" everything is a word.
    EXPECT_EQ(parsed.words, (std::vector<std::string>{"first", "-", "-x", "--drive"}));
}

TEST(ToolOptions, HelpIsWrappedAtBlanksOutsideBracketsWithinItsWidth) {
    using atlasync::tool::wrap_help;
    const struct {
        const char* lead;
        const char* text;
        std::size_t indent;
        std::size_t width;
        const char* wrapped;
    } cases[] = {
        {"  check ", "[--a A] [--b B]", 8, 80, "  check [--a A] [--b B]\n"},
        {"  check ", "[--a A] [--bb B] [--c]", 8, 24, "  check [--a A] [--bb B]\n        [--c]\n"},
        {"", "one two three", 2, 8, "one two\n  three\n"},
        // A piece longer than the width stands alone rather than being cut.
        {"> ", "[--very-long-option VALUE] x", 2, 10, "> [--very-long-option VALUE]\n  x\n"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(wrap_help(c.lead, c.text, c.indent, c.width), c.wrapped) << c.text;
    }
}

}  // namespace
