#pragma once

#include <sys/types.h>

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

namespace atlasync::testing {

// Another user a child runs as (the test must run as root), with variables of
// its own on top of the test's environment.
struct ChildUser {
    uid_t uid = 0;
    gid_t gid = 0;
    std::vector<std::pair<std::string, std::string>> environment;
};

// A program started for a test, with its standard input and output on pipes.
// The destructor kills and reaps it if it still runs. A child that cannot
// become the user asked for ends with 125 before it runs the program.
class ChildProcess {
public:
    ChildProcess(const std::string& program, const std::vector<std::string>& args,
                 const std::filesystem::path& workingDirectory = {},
                 const ChildUser* user = nullptr);
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // One line of the child's output without its line end; empty at end of output.
    std::string read_line();
    // Everything the child still writes, up to the end of its output.
    std::string read_all();
    // Closes the child's standard input.
    void close_input();
    void kill(int signal);
    // Waits for the end; the exit status, or 128 + signal number.
    int wait();
    pid_t pid() const { return m_pid; }

private:
    pid_t m_pid = -1;
    int m_in = -1;
    int m_out = -1;
    std::string m_buffer;
    bool m_reaped = false;
    int m_status = 0;
};

// Runs a program to its end and answers its exit status; output goes to `output`.
int run_program(const std::string& program, const std::vector<std::string>& args,
                std::string* output = nullptr, const std::filesystem::path& workingDirectory = {},
                const ChildUser* user = nullptr);

}  // namespace atlasync::testing
