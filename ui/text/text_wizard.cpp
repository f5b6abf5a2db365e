#include "ui/text/text_wizard.h"

#include <unistd.h>

#include "service/core/result_codes.h"
#include "ui/messaging/call_gate.h"
#include "ui/text/console_input.h"
#include "ui/text/interrupt_notifier.h"

namespace atlasync::ui {

namespace {

CTextPageHost::Options host_options(const CTextWizard::Options& wizard) {
    CTextPageHost::Options options;
    options.yes = wizard.yes;
    options.inputEchoes = ::isatty(wizard.inputFd) == 1;
    options.plainProgressInterval = wizard.plainProgressInterval;
    return options;
}

}  // namespace

CTextWizard::CTextWizard(TerminalOutput& out, Options options)
    : m_out(out),
      m_options(std::move(options)),
      m_host(out, host_options(m_options)),
      m_machine(std::make_unique<CStateMachine>(&m_host, m_options.settings)) {
    m_host.set_languages(m_options.languages);
    // Typed lines and interrupts arrive from the event loop, outside any of
    // the machine's own dispatches.
    m_host.set_signal_sink([this](std::uint16_t signal) { m_machine->dispatch_signal(signal); });
}

CTextWizard::~CTextWizard() = default;

int CTextWizard::run() {
    m_input = std::make_unique<ConsoleInput>(
        m_options.inputFd, [this](std::optional<std::string> line) { m_host.take_line(line); });
    if (m_options.handleInterrupts) {
        m_interrupts =
            std::make_unique<InterruptNotifier>([this](int) { m_host.take_interrupt(); });
    }
    const int outcome = m_machine->run();
    m_interrupts.reset();
    m_input.reset();
    if (outcome == MapsService::kResultCancelled) {
        m_out.line("Cancelled.");
    } else if (!m_host.last_result_text().empty()) {
        m_out.line(m_host.last_result_text());
    }
    return outcome;
}

}  // namespace atlasync::ui
