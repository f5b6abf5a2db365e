#include "ui/text/terminal_output.h"

#include <unistd.h>

#include <cctype>
#include <cstdlib>
#include <cstring>

#include "ui/text/markup_text.h"

namespace atlasync::ui {

namespace {

// Characters on screen: UTF-8 continuation bytes and escape sequences take none.
std::size_t visible_width(const std::string& text) {
    std::size_t width = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c == 0x1b) {
            while (i < text.size() && !std::isalpha(static_cast<unsigned char>(text[i]))) {
                ++i;
            }
        } else if ((c & 0xC0) != 0x80) {
            ++width;
        }
    }
    return width;
}

}  // namespace

TerminalKind detect_terminal(int fd) {
    TerminalKind kind;
    kind.tty = ::isatty(fd) == 1;
    const char* term = std::getenv("TERM");
    kind.ansi = kind.tty && term != nullptr && term[0] != '\0' && std::strcmp(term, "dumb") != 0;
    return kind;
}

void TerminalOutput::line(const std::string& text) {
    end_status();
    write(text);
    if (text.empty() || text.back() != '\n') {
        write("\n");
    }
}

std::string TerminalOutput::bold(const std::string& text) const {
    return m_kind.ansi ? kAnsiBoldOn + text + kAnsiBoldOff : text;
}

void TerminalOutput::status(const std::string& text) {
    if (!m_kind.tty) {
        write(text + "\n");
        return;
    }
    const std::size_t width = visible_width(text);
    std::string redraw = "\r" + text;
    if (m_kind.ansi) {
        redraw += "\x1b[K";
    } else if (width < m_statusWidth) {
        // Blanks over what is left of a longer line before.
        redraw += std::string(m_statusWidth - width, ' ');
    }
    write(redraw);
    m_statusOpen = true;
    m_statusWidth = width;
}

void TerminalOutput::end_status() {
    if (m_statusOpen) {
        write("\n");
        m_statusOpen = false;
        m_statusWidth = 0;
    }
}

void TerminalOutput::prompt(const std::string& text) {
    end_status();
    write(text);
}

void TerminalOutput::write(const std::string& text) {
    std::fwrite(text.data(), 1, text.size(), m_stream);
    std::fflush(m_stream);
}

}  // namespace atlasync::ui
