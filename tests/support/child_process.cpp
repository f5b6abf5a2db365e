#include "tests/support/child_process.h"

#include <grp.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fcntl.h>

#include <algorithm>
#include <cerrno>
#include <stdexcept>
#include <string_view>

namespace atlasync::testing {

ChildProcess::ChildProcess(const std::string& program, const std::vector<std::string>& args,
                           const std::filesystem::path& workingDirectory, const ChildUser* user) {
    int toChild[2];
    int fromChild[2];
    if (pipe2(toChild, O_CLOEXEC) != 0 || pipe2(fromChild, O_CLOEXEC) != 0) {
        throw std::runtime_error("pipe failed");
    }
    std::vector<std::string> argvStore;
    argvStore.push_back(program);
    argvStore.insert(argvStore.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& arg : argvStore) {
        argv.push_back(arg.data());
    }
    argv.push_back(nullptr);
    // The other user's environment is made here: after fork only calls that
    // take no lock may run.
    std::vector<std::string> environmentStore;
    std::vector<char*> environment;
    if (user != nullptr) {
        for (char** variable = environ; *variable != nullptr; ++variable) {
            const std::string_view entry(*variable);
            const auto replaced =
                std::any_of(user->environment.begin(), user->environment.end(),
                            [&](const auto& pair) { return entry.starts_with(pair.first + "="); });
            if (!replaced) {
                environmentStore.emplace_back(entry);
            }
        }
        for (const auto& [name, value] : user->environment) {
            environmentStore.push_back(name + "=" + value);
        }
        for (auto& entry : environmentStore) {
            environment.push_back(entry.data());
        }
        environment.push_back(nullptr);
    }
    m_pid = fork();
    if (m_pid < 0) {
        throw std::runtime_error("fork failed");
    }
    if (m_pid == 0) {
        dup2(toChild[0], STDIN_FILENO);
        dup2(fromChild[1], STDOUT_FILENO);
        if (user != nullptr &&
            (setgroups(0, nullptr) != 0 || setgid(user->gid) != 0 || setuid(user->uid) != 0)) {
            _exit(125);
        }
        if (!workingDirectory.empty() && chdir(workingDirectory.c_str()) != 0) {
            _exit(126);
        }
        if (user != nullptr) {
            execve(program.c_str(), argv.data(), environment.data());
        } else {
            execv(program.c_str(), argv.data());
        }
        _exit(127);
    }
    close(toChild[0]);
    close(fromChild[1]);
    m_in = toChild[1];
    m_out = fromChild[0];
}

ChildProcess::~ChildProcess() {
    if (!m_reaped && m_pid > 0) {
        ::kill(m_pid, SIGKILL);
        wait();
    }
    close_input();
    if (m_out >= 0) {
        close(m_out);
    }
}

std::string ChildProcess::read_line() {
    for (;;) {
        const auto newline = m_buffer.find('\n');
        if (newline != std::string::npos) {
            std::string line = m_buffer.substr(0, newline);
            m_buffer.erase(0, newline + 1);
            return line;
        }
        char chunk[256];
        const ssize_t got = read(m_out, chunk, sizeof chunk);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            std::string rest;
            rest.swap(m_buffer);
            return rest;
        }
        m_buffer.append(chunk, static_cast<std::size_t>(got));
    }
}

void ChildProcess::close_input() {
    if (m_in >= 0) {
        close(m_in);
        m_in = -1;
    }
}

void ChildProcess::kill(int signal) {
    ::kill(m_pid, signal);
}

int ChildProcess::wait() {
    if (!m_reaped) {
        int status = 0;
        while (waitpid(m_pid, &status, 0) < 0 && errno == EINTR) {
        }
        m_reaped = true;
        m_status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    return m_status;
}

std::string ChildProcess::read_all() {
    std::string all;
    all.swap(m_buffer);
    char chunk[4096];
    for (;;) {
        const ssize_t got = read(m_out, chunk, sizeof chunk);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            return all;
        }
        all.append(chunk, static_cast<std::size_t>(got));
    }
}

int run_program(const std::string& program, const std::vector<std::string>& args,
                std::string* output, const std::filesystem::path& workingDirectory,
                const ChildUser* user) {
    ChildProcess child(program, args, workingDirectory, user);
    child.close_input();
    std::string all = child.read_all();
    if (output != nullptr) {
        *output = all;
    }
    return child.wait();
}

}  // namespace atlasync::testing
