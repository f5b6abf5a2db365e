#pragma once

#include <cstdint>
#include <functional>
#include <limits>
#include <string>
#include <vector>

namespace atlasync::tool {

// The arguments of one subcommand, read strictly: every option given must be
// declared, an option with a value must have one, a number must be whole and
// in range, and the words left over must be as many as declared. Options
// begin with "--" ("--name value" or "--name=value"); after "--" every
// argument is a word. Whatever is wrong is said on standard error in one
// line, naming the command.
class Options {
public:
    // `usage` is the command's synopsis, shown when the words are wrong.
    Options(std::string command, std::string usage);

    void flag(const std::string& name, bool& value);
    // A value that may not be empty.
    void text(const std::string& name, std::string& value);
    void number(const std::string& name, std::int32_t& value,
                std::int32_t least = std::numeric_limits<std::int32_t>::min());
    // An option that may come again: `take` answers why a value is refused, or
    // nothing when it is taken.
    void each(const std::string& name, std::function<std::string(const std::string&)> take);
    // Between `least` and `most` words that are no options, in order.
    void words(std::vector<std::string>& values, std::size_t least, std::size_t most);

    [[nodiscard]] bool parse(const std::vector<std::string>& args) const;

private:
    struct Option {
        std::string name;
        bool takesValue = false;
        std::function<std::string(const std::string&)> take;  // the flag's: no argument
    };

    const Option* find(const std::string& name) const;
    bool fail(const std::string& why) const;

    std::string m_command;
    std::string m_usage;
    std::vector<Option> m_options;
    std::vector<std::string>* m_words = nullptr;
    std::size_t m_leastWords = 0;
    std::size_t m_mostWords = 0;
};

// Help texts fit a terminal of this width.
inline constexpr std::size_t kHelpWidth = 80;

// `text` in lines of at most `width` columns, the first begun by `lead`, the
// others by `indent` blanks; a bracketed group ("[--drive ID]") stays whole.
// Each line ends with a line feed.
std::string wrap_help(const std::string& lead, const std::string& text, std::size_t indent,
                      std::size_t width = kHelpWidth);

// The whole of `text` as a number of the range; false for "12abc", "", " 1" or too large a value.
bool parse_whole_number(const std::string& text, std::int32_t& value);

}  // namespace atlasync::tool
