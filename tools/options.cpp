#include "tools/options.h"

#include <charconv>
#include <cstdio>

namespace atlasync::tool {

bool parse_whole_number(const std::string& text, std::int32_t& value) {
    std::int32_t parsed = 0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, parsed);
    if (text.empty() || error != std::errc() || stop != end) {
        return false;
    }
    value = parsed;
    return true;
}

std::string wrap_help(const std::string& lead, const std::string& text, std::size_t indent,
                      std::size_t width) {
    // Pieces end at blanks outside brackets.
    std::vector<std::string> pieces;
    std::string piece;
    int depth = 0;
    for (const char c : text) {
        depth += c == '[' ? 1 : c == ']' ? -1 : 0;
        if (c == ' ' && depth == 0) {
            if (!piece.empty()) {
                pieces.push_back(std::move(piece));
            }
            piece.clear();
        } else {
            piece.push_back(c);
        }
    }
    if (!piece.empty()) {
        pieces.push_back(std::move(piece));
    }
    std::string wrapped;
    std::string line = lead;
    bool lineHasPiece = false;
    for (const std::string& next : pieces) {
        if (lineHasPiece && line.size() + 1 + next.size() > width) {
            wrapped += line + "\n";
            line.assign(indent, ' ');
            lineHasPiece = false;
        }
        line += (lineHasPiece ? " " : "") + next;
        lineHasPiece = true;
    }
    return wrapped + line + "\n";
}

Options::Options(std::string command, std::string usage)
    : m_command(std::move(command)), m_usage(std::move(usage)) {}

void Options::flag(const std::string& name, bool& value) {
    m_options.push_back({name, false, [&value](const std::string&) {
                             value = true;
                             return std::string();
                         }});
}

void Options::text(const std::string& name, std::string& value) {
    m_options.push_back({name, true, [&value, name](const std::string& given) {
                             if (given.empty()) {
                                 return name + " needs a value";
                             }
                             value = given;
                             return std::string();
                         }});
}

void Options::number(const std::string& name, std::int32_t& value, std::int32_t least) {
    m_options.push_back({name, true, [&value, name, least](const std::string& given) {
                             std::int32_t parsed = 0;
                             if (!parse_whole_number(given, parsed) || parsed < least) {
                                 return name + " needs a whole number" +
                                        (least > 0 ? " from " + std::to_string(least) : "") +
                                        ", not '" + given + "'";
                             }
                             value = parsed;
                             return std::string();
                         }});
}

void Options::each(const std::string& name, std::function<std::string(const std::string&)> take) {
    m_options.push_back({name, true, std::move(take)});
}

void Options::words(std::vector<std::string>& values, std::size_t least, std::size_t most) {
    m_words = &values;
    m_leastWords = least;
    m_mostWords = most;
}

const Options::Option* Options::find(const std::string& name) const {
    for (const Option& option : m_options) {
        if (option.name == name) {
            return &option;
        }
    }
    return nullptr;
}

bool Options::fail(const std::string& why) const {
    std::fprintf(stderr, "atlasync-tool: %s: %s\n", m_command.c_str(), why.c_str());
    return false;
}

bool Options::parse(const std::vector<std::string>& args) const {
    std::vector<std::string> words;
    bool optionsEnded = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (optionsEnded || arg.rfind("--", 0) != 0) {
            words.push_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        // "--name=value" is "--name value".
        const std::size_t equals = arg.find('=');
        const std::string name = arg.substr(0, equals);
        const Option* option = find(name);
        if (option == nullptr || (!option->takesValue && equals != std::string::npos)) {
            return fail("unexpected argument '" + arg + "'");
        }
        std::string value;
        if (option->takesValue) {
            if (equals != std::string::npos) {
                value = arg.substr(equals + 1);
            } else if (i + 1 < args.size() && args[i + 1].rfind("--", 0) != 0) {
                value = args[++i];
            } else {
                return fail(name + " needs a value");
            }
        }
        if (const std::string why = option->take(value); !why.empty()) {
            return fail(why);
        }
    }
    if (m_words == nullptr) {
        return words.empty() || fail("unexpected argument '" + words.front() + "'");
    }
    if (words.size() < m_leastWords || words.size() > m_mostWords) {
        std::fprintf(stderr, "usage: atlasync-tool %s %s\n", m_command.c_str(), m_usage.c_str());
        return false;
    }
    *m_words = std::move(words);
    return true;
}

}  // namespace atlasync::tool
