#pragma once

#include <cstdio>
#include <string>

#include "ui/text/terminal_output.h"

namespace atlasync::testing {

// A terminal whose output the test reads back.
class CapturedTerminal {
public:
    explicit CapturedTerminal(ui::TerminalKind kind);
    ~CapturedTerminal();
    CapturedTerminal(const CapturedTerminal&) = delete;
    CapturedTerminal& operator=(const CapturedTerminal&) = delete;

    ui::TerminalOutput& out() { return *m_out; }
    // Everything written so far.
    std::string text();

private:
    char* m_buffer = nullptr;
    std::size_t m_size = 0;
    std::FILE* m_stream = nullptr;
    ui::TerminalOutput* m_out = nullptr;
};

}  // namespace atlasync::testing
