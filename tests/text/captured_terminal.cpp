#include "tests/text/captured_terminal.h"

#include <cstdlib>

namespace atlasync::testing {

CapturedTerminal::CapturedTerminal(ui::TerminalKind kind)
    : m_stream(::open_memstream(&m_buffer, &m_size)),
      m_out(new ui::TerminalOutput(m_stream, kind)) {}

CapturedTerminal::~CapturedTerminal() {
    delete m_out;
    std::fclose(m_stream);
    std::free(m_buffer);
}

std::string CapturedTerminal::text() {
    std::fflush(m_stream);
    return std::string(m_buffer, m_size);
}

}  // namespace atlasync::testing
