#include "ui/text/markup_text.h"

#include <cwctype>

#include "service/core/text.h"

namespace atlasync::ui {

using MapsService::to_narrow;
using MapsService::to_wide;

namespace {

// The tag's name in lower case, without a leading slash or attributes.
std::wstring tag_name(std::wstring_view tag) {
    std::wstring name;
    std::size_t i = 0;
    if (i < tag.size() && tag[i] == L'/') {
        ++i;
    }
    for (; i < tag.size() && std::iswalnum(static_cast<wint_t>(tag[i])); ++i) {
        name.push_back(static_cast<wchar_t>(std::towlower(static_cast<wint_t>(tag[i]))));
    }
    return name;
}

struct Entity {
    std::wstring_view name;
    wchar_t character;
};

constexpr Entity kEntities[] = {
    {L"amp", L'&'},  {L"lt", L'<'},    {L"gt", L'>'},
    {L"quot", L'"'}, {L"apos", L'\''}, {L"nbsp", L' '},
};

}  // namespace

std::string markup_to_terminal(std::wstring_view markup, bool ansi) {
    std::wstring plain;
    bool bold = false;
    auto set_bold = [&](bool on) {
        if (ansi && on != bold) {
            plain += to_wide(on ? kAnsiBoldOn : kAnsiBoldOff);
        }
        bold = on;
    };
    for (std::size_t i = 0; i < markup.size(); ++i) {
        const wchar_t c = markup[i];
        if (c == L'<') {
            const std::size_t end = markup.find(L'>', i);
            const wchar_t next = i + 1 < markup.size() ? markup[i + 1] : L' ';
            if (end == std::wstring_view::npos ||
                !(next == L'/' || std::iswalpha(static_cast<wint_t>(next)))) {
                // Not a tag after all: a lone "<" is text.
                plain.push_back(c);
                continue;
            }
            const std::wstring_view tag = markup.substr(i + 1, end - i - 1);
            const std::wstring name = tag_name(tag);
            const bool closing = !tag.empty() && tag[0] == L'/';
            if (name == L"br") {
                plain.push_back(L'\n');
            } else if (name == L"b" || name == L"strong") {
                set_bold(!closing);
            }
            i = end;
        } else if (c == L'&') {
            const std::size_t end = markup.find(L';', i);
            bool resolved = false;
            if (end != std::wstring_view::npos && end - i <= 6) {
                const std::wstring_view name = markup.substr(i + 1, end - i - 1);
                for (const Entity& entity : kEntities) {
                    if (entity.name == name) {
                        plain.push_back(entity.character);
                        i = end;
                        resolved = true;
                        break;
                    }
                }
            }
            if (!resolved) {
                plain.push_back(c);
            }
        } else if (c != L'\r') {
            plain.push_back(c);
        }
    }
    // A bold run the text left open must not spill into what is printed next.
    set_bold(false);
    return to_narrow(plain);
}

}  // namespace atlasync::ui
