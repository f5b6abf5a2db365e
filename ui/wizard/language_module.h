#pragma once

#include <filesystem>
#include <map>
#include <string>

#include "ui/wizard/string_table.h"

namespace atlasync::ui {

// A language module: a UTF-8 file of "id=text" lines that replace built-in texts
// by id. In a text, "\n" stands for a line break and "\\" for a backslash. Blank
// lines and lines starting with '#' are skipped, and so is a line whose id is
// not a decimal number (traced as a warning), so one bad line costs one text.
class LanguageModule {
public:
    // Throws MapsService::Exception when the file cannot be read.
    static LanguageModule load(const std::filesystem::path& path);
    static LanguageModule parse(std::string_view content);

    // Null when the module does not replace this id.
    const std::wstring* find(TextId id) const;
    std::size_t size() const { return m_texts.size(); }

private:
    std::map<TextId, std::wstring> m_texts;
};

}  // namespace atlasync::ui
