#pragma once

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "ui/wizard/string_table.h"

namespace atlasync::ui {

// A language module: a UTF-8 file of "id=text" lines that replace built-in texts
// by id. In a text, "\n" stands for a line break and "\\" for a backslash. Blank
// lines and lines starting with '#' are skipped, and so is a line whose id is
// not a decimal number (traced as a warning), so one bad line costs one text.
class LanguageModule {
public:
    // languageId is the language of the texts (a Windows-kind id, 1033 for US
    // English; 0 when not known): its plural rule picks the form of a count.
    // Throws MapsService::Exception when the file cannot be read.
    static LanguageModule load(const std::filesystem::path& path, std::uint32_t languageId = 0);
    static LanguageModule parse(std::string_view content, std::uint32_t languageId = 0);

    std::uint32_t language() const { return m_language; }
    // Null when the module does not replace this id.
    const std::wstring* find(TextId id) const;
    std::size_t size() const { return m_texts.size(); }
    // The ids the module replaces, ascending.
    std::vector<TextId> ids() const;
    // The numbers (from 1) of the lines skipped as not "id=text".
    const std::vector<int>& skipped_lines() const { return m_skippedLines; }

private:
    std::uint32_t m_language = 0;
    std::map<TextId, std::wstring> m_texts;
    std::vector<int> m_skippedLines;
};

}  // namespace atlasync::ui
