#pragma once

#include <unistd.h>

#include <chrono>
#include <memory>
#include <vector>

#include "ui/text/text_page_host.h"
#include "ui/wizard/state_machine.h"
#include "ui/wizard/wizard_settings.h"

namespace atlasync::ui {

class ConsoleInput;
class InterruptNotifier;

// The wizard on a terminal: the text page host and the state machine that
// fills it, with the user's lines read from an input descriptor and Ctrl-C as
// the window's own cancel. Needs a Qt event loop's application object (a
// QCoreApplication is enough) on the calling thread.
class CTextWizard {
public:
    struct Options {
        WizardSettings settings;
        bool yes = false;  // accept every offered download, never wait for an answer
        int inputFd = STDIN_FILENO;
        bool handleInterrupts = true;  // Ctrl-C and SIGTERM cancel the run
        // Between two plain progress lines (output that is not a terminal).
        std::chrono::milliseconds plainProgressInterval{1000};
        std::vector<LanguageEntry> languages;
    };

    CTextWizard(TerminalOutput& out, Options options);
    ~CTextWizard();
    CTextWizard(const CTextWizard&) = delete;
    CTextWizard& operator=(const CTextWizard&) = delete;

    // The whole run; answers its exit status: 0 after "Update was successful!"
    // or "There are no new updates for your phone!", 2 when cancelled, 4 when
    // left from the no-phone page, else the failing result code. The last line
    // printed says what the run came to.
    int run();

    CTextPageHost& host() { return m_host; }
    CStateMachine& machine() { return *m_machine; }

private:
    TerminalOutput& m_out;
    Options m_options;
    CTextPageHost m_host;
    std::unique_ptr<CStateMachine> m_machine;
    std::unique_ptr<ConsoleInput> m_input;
    std::unique_ptr<InterruptNotifier> m_interrupts;
};

}  // namespace atlasync::ui
