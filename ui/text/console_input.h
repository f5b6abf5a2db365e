#pragma once

#include <QObject>
#include <QSocketNotifier>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace atlasync::ui {

// Reads lines from a descriptor (standard input) as the event loop finds them
// ready, so waiting for the user never blocks the loop. Each complete line
// goes to the handler without its line end; the end of input once as nullopt,
// after a last line that had no line end.
class ConsoleInput : public QObject {
public:
    using LineHandler = std::function<void(std::optional<std::string> line)>;

    ConsoleInput(int fd, LineHandler handler);
    ~ConsoleInput() override;
    ConsoleInput(const ConsoleInput&) = delete;
    ConsoleInput& operator=(const ConsoleInput&) = delete;

    bool at_end() const { return m_atEnd; }

private:
    void read_ready();
    void deliver(std::optional<std::string> line);

    int m_fd;
    LineHandler m_handler;
    std::unique_ptr<QSocketNotifier> m_notifier;
    std::string m_pending;  // bytes of a line not yet ended
    bool m_atEnd = false;
};

}  // namespace atlasync::ui
