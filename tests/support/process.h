#pragma once
// Runs a program of ours as its own process, as a user or a script would: arguments,
// extra environment, its stdout and stderr captured, and its exit code.

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <map>
#include <string>
#include <vector>

extern char** environ;

namespace wing::test {

struct ProcessResult {
    int exitCode = -1;  // -1: killed by a signal or not started
    std::string out;
    std::string err;
    double seconds = 0;
};

class Process {
public:
    // Starts `argv` with the environment of this process plus `env`; stdin is /dev/null.
    Process(const std::vector<std::string>& argv, const std::map<std::string, std::string>& env = {}) {
        int outPipe[2], errPipe[2];
        if (::pipe2(outPipe, O_CLOEXEC) != 0 || ::pipe2(errPipe, O_CLOEXEC) != 0) return;
        std::vector<std::string> envText;
        for (char** e = environ; *e != nullptr; ++e) {
            std::string entry = *e;
            if (env.count(entry.substr(0, entry.find('='))) == 0) envText.push_back(entry);
        }
        for (const auto& [k, v] : env) envText.push_back(k + "=" + v);
        std::vector<char*> args, envs;
        for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        for (auto& e : envText) envs.push_back(e.data());
        envs.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_adddup2(&actions, outPipe[1], 1);
        posix_spawn_file_actions_adddup2(&actions, errPipe[1], 2);
        m_started = std::chrono::steady_clock::now();
        if (::posix_spawn(&m_pid, args[0], &actions, nullptr, args.data(), envs.data()) != 0) m_pid = -1;
        posix_spawn_file_actions_destroy(&actions);
        ::close(outPipe[1]);
        ::close(errPipe[1]);
        m_out = outPipe[0];
        m_err = errPipe[0];
    }
    ~Process() {
        if (m_pid > 0) {
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, nullptr, 0);
        }
        if (m_out >= 0) ::close(m_out);
        if (m_err >= 0) ::close(m_err);
    }
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;

    void Signal(int signal) {
        if (m_pid > 0) ::kill(m_pid, signal);
    }
    // Reads what the process printed so far, waiting up to `ms` for more.
    void Pump(int ms) {
        pollfd fds[2] = {{m_out, POLLIN, 0}, {m_err, POLLIN, 0}};
        if (::poll(fds, 2, ms) <= 0) return;
        char buf[4096];
        for (int i = 0; i < 2; ++i) {
            if ((fds[i].revents & (POLLIN | POLLHUP)) == 0) continue;
            ssize_t n = ::read(fds[i].fd, buf, sizeof buf);
            if (n > 0) (i == 0 ? m_result.out : m_result.err).append(buf, static_cast<std::size_t>(n));
        }
    }
    const std::string& Out() const { return m_result.out; }
    const std::string& Err() const { return m_result.err; }
    // Waits for the end (killing the process after `timeoutSeconds`) and collects the rest.
    ProcessResult Wait(double timeoutSeconds = 60) {
        if (m_pid <= 0) return m_result;
        const auto deadline = m_started + std::chrono::duration<double>(timeoutSeconds);
        int status = 0;
        for (;;) {
            Pump(50);
            const pid_t done = ::waitpid(m_pid, &status, WNOHANG);
            if (done == m_pid) break;
            if (std::chrono::steady_clock::now() > deadline) ::kill(m_pid, SIGKILL);
        }
        m_pid = -1;
        for (int i = 0; i < 100; ++i) Pump(0);  // what is left in the pipes
        m_result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        m_result.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - m_started).count();
        return m_result;
    }

private:
    pid_t m_pid = -1;
    int m_out = -1;
    int m_err = -1;
    std::chrono::steady_clock::time_point m_started;
    ProcessResult m_result;
};

inline ProcessResult RunProcess(const std::vector<std::string>& argv, const std::map<std::string, std::string>& env = {},
                                double timeoutSeconds = 60) {
    Process p(argv, env);
    return p.Wait(timeoutSeconds);
}

}  // namespace wing::test
