#pragma once

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace atlasync::ui {

class LanguageModule;

using TextId = std::uint32_t;

// The built-in texts are US English (language id 1033).
inline constexpr std::uint32_t kBuiltinLanguage = 1033;

// Ids the code names; the error table's rows name theirs by number, beside
// the codes they explain.
inline constexpr TextId kTextAboutMenu = 101;
inline constexpr TextId kTextDownloadedOfTotal = 103;
inline constexpr TextId kTextNoPhoneHeading = 104;
inline constexpr TextId kTextNoPhoneDescription = 105;
inline constexpr TextId kTextCheckingPhone = 106;
inline constexpr TextId kTextServiceStartFailed = 107;
inline constexpr TextId kTextPhoneInfoMissingDrive = 108;
inline constexpr TextId kTextUnknownFailure = 122;
inline constexpr TextId kTextUpdateSuccessful = 125;
inline constexpr TextId kTextMapDataUpdateFailed = 126;
inline constexpr TextId kTextNoNewUpdates = 127;
inline constexpr TextId kTextUpdatingMapData = 128;
inline constexpr TextId kTextMapDataHeading = 129;
inline constexpr TextId kTextMapDataOffer = 130;
inline constexpr TextId kTextDeletingOldMaps = 131;
inline constexpr TextId kTextPhoneInfoMissingRegions = 133;
inline constexpr TextId kTextPhoneInfoMissingVersions = 134;
inline constexpr TextId kTextMapsAppOffer = 135;
inline constexpr TextId kTextMapsAppUpdateFailed = 136;
inline constexpr TextId kTextInstalling = 137;
inline constexpr TextId kTextInstallationStarting = 138;
inline constexpr TextId kTextCompleteOnPhone = 139;
inline constexpr TextId kTextMegabytes = 144;
inline constexpr TextId kTextTransferringToPhone = 145;
inline constexpr TextId kTextSplashLine = 160;
inline constexpr TextId kTextAnotherInstance = 161;
inline constexpr TextId kTextAnotherInstanceCaption = 162;
inline constexpr TextId kTextEstimatedMinutes = 163;
inline constexpr TextId kTextEstimatedSeconds = 164;
// Texts of ours beyond the original table.
inline constexpr TextId kTextMapsIncomplete = 167;
// The forms of 163 and 164 for one: a language module gives both forms, and
// the language's plural rule picks one.
inline constexpr TextId kTextEstimatedMinute = 168;
inline constexpr TextId kTextEstimatedSecond = 169;
// Accessible names of controls that show no text of their own.
inline constexpr TextId kTextProgressName = 170;
inline constexpr TextId kTextPhoneListName = 171;
inline constexpr TextId kTextLanguageListName = 172;
inline constexpr TextId kTextBusyName = 173;
inline constexpr TextId kTextTutorialName = 174;
// The line beneath an error page's text that says what went wrong underneath.
inline constexpr TextId kTextErrorDetails = 175;

// Texts of dialogs and pages (captions, labels, buttons) have ids made from the
// template and the control, so a language module can replace them like any
// other text. The caption is control 0.
constexpr TextId dialog_text_id(std::uint32_t templateId, std::uint32_t controlId) {
    return templateId * 10000 + controlId;
}

// The built-in English text of an id; null when the id has none.
const wchar_t* builtin_text(TextId id);
// The ids of the built-in texts, ascending.
std::vector<TextId> builtin_text_ids();

// The text of an id in the language in use: the module's text when the loaded
// module has one, else the built-in text, else empty.
std::wstring text(TextId id);

// The text of a count in the language in use, its %1 replaced by the count:
// oneForm or otherForm, as the plural rule of the module's language picks
// (of US English without a module).
std::wstring count_text(std::uint64_t count, TextId oneForm, TextId otherForm);

// Makes a module the source of texts; null returns to the built-in texts.
void set_language_module(std::shared_ptr<const LanguageModule> module);

// Replaces %1 to %9 with the arguments; a placeholder without an argument is
// left as written, and inserted text is never scanned again.
std::wstring format_text(std::wstring_view pattern, std::initializer_list<std::wstring_view> args);

}  // namespace atlasync::ui
