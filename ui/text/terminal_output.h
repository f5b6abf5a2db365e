#pragma once

#include <cstdio>
#include <string>

namespace atlasync::ui {

// What the terminal behind a stream can do.
struct TerminalKind {
    bool tty = false;   // a terminal: a status line can be redrawn in place
    bool ansi = false;  // escape sequences (bold, clear to line end) are understood
};

// A terminal when the descriptor is one; escape sequences only when TERM is
// set and is not "dumb".
TerminalKind detect_terminal(int fd);

// Writes the text front end's lines, and one status line below them that a
// terminal redraws in place. Anything else printed first ends the status line,
// so it is never overwritten.
class TerminalOutput {
public:
    TerminalOutput(std::FILE* stream, TerminalKind kind) : m_stream(stream), m_kind(kind) {}
    ~TerminalOutput() { end_status(); }
    TerminalOutput(const TerminalOutput&) = delete;
    TerminalOutput& operator=(const TerminalOutput&) = delete;

    const TerminalKind& kind() const { return m_kind; }

    // One or more lines (UTF-8, with or without a final line end).
    void line(const std::string& text);
    // Text shown bold where the terminal allows.
    std::string bold(const std::string& text) const;
    // Replaces the status line on a terminal; elsewhere prints it as a line.
    void status(const std::string& text);
    // The status line stays as it is and output goes on below it.
    void end_status();
    // A question waiting for its answer on the same line.
    void prompt(const std::string& text);

private:
    void write(const std::string& text);

    std::FILE* m_stream;
    TerminalKind m_kind;
    bool m_statusOpen = false;
    std::size_t m_statusWidth = 0;  // characters of the status line on screen
};

}  // namespace atlasync::ui
