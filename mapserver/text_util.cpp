#include "mapserver/text_util.h"

#include <algorithm>
#include <cctype>

namespace atlasync::mapserver {

namespace {

bool is_blank(char c) {
    return c == ' ' || c == '\t';
}

}  // namespace

std::string_view trim(std::string_view text) {
    while (!text.empty() && is_blank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && is_blank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

std::vector<std::string_view> split_words(std::string_view text, std::size_t limit) {
    std::vector<std::string_view> words;
    text = trim(text);
    while (!text.empty()) {
        if (words.size() + 1 == limit) {
            words.push_back(text);
            break;
        }
        const auto end = std::find_if(text.begin(), text.end(), is_blank) - text.begin();
        words.push_back(text.substr(0, end));
        text = trim(text.substr(end));
    }
    return words;
}

std::string to_lower(std::string_view text) {
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return lower;
}

bool iequals(std::string_view a, std::string_view b) {
    return to_lower(a) == to_lower(b);
}

}  // namespace atlasync::mapserver
