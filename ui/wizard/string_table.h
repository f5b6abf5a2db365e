#pragma once

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>

namespace atlasync::ui {

class LanguageModule;

using TextId = std::uint32_t;

// Ids the code names directly; the rest are used by number where the flow names them.
inline constexpr TextId kTextAboutMenu = 101;
inline constexpr TextId kTextDownloadedOfTotal = 103;
inline constexpr TextId kTextUnknownFailure = 122;
inline constexpr TextId kTextSplashLine = 160;
inline constexpr TextId kTextAnotherInstance = 161;
inline constexpr TextId kTextAnotherInstanceCaption = 162;
inline constexpr TextId kTextEstimatedMinutes = 163;
inline constexpr TextId kTextEstimatedSeconds = 164;

// Texts of dialogs and pages (captions, labels, buttons) have ids made from the
// template and the control, so a language module can replace them like any
// other text. The caption is control 0.
constexpr TextId dialog_text_id(std::uint32_t templateId, std::uint32_t controlId) {
    return templateId * 10000 + controlId;
}

// The built-in English text of an id; null when the id has none.
const wchar_t* builtin_text(TextId id);

// The text of an id in the language in use: the module's text when the loaded
// module has one, else the built-in text, else empty.
std::wstring text(TextId id);

// Makes a module the source of texts; null returns to the built-in texts.
void set_language_module(std::shared_ptr<const LanguageModule> module);

// Replaces %1 to %9 with the arguments; a placeholder without an argument is
// left as written, and inserted text is never scanned again.
std::wstring format_text(std::wstring_view pattern, std::initializer_list<std::wstring_view> args);

}  // namespace atlasync::ui
