#include "server_process.h"

#include <fcntl.h>
#include <poll.h>
#include <sched.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

namespace voltaro::server::testing {

namespace {

// The server's announcements, up to the line "voltaro-server: listening on
// http://127.0.0.1:PORT/" (after "voltaro-server: metrics on http://127.0.0.1:PORT/metrics" when
// asked for).
std::string readAnnouncements(int fd) {
    std::string text;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (text.find("listening on") == std::string::npos ||
           text.find('\n', text.find("listening on")) == std::string::npos) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        pollfd ready{fd, POLLIN, 0};
        if (left.count() <= 0 || poll(&ready, 1, static_cast<int>(left.count())) <= 0) {
            throw std::runtime_error("voltaro-server announced no port within 10 s");
        }
        char chunk[256];
        const ssize_t n = read(fd, chunk, sizeof chunk);
        if (n <= 0) {
            throw std::runtime_error("voltaro-server exited before listening");
        }
        text.append(chunk, static_cast<std::size_t>(n));
    }
    return text;
}

// The port in the announcement that follows `words`; 0 when there is none.
unsigned short announcedPort(const std::string& text, const std::string& words) {
    const auto start = text.find(words);
    if (start == std::string::npos) {
        return 0;
    }
    const auto line = text.substr(start, text.find('\n', start) - start);
    const auto colon = line.rfind(':');
    return static_cast<unsigned short>(std::atoi(line.c_str() + colon + 1));
}

}  // namespace

ServerProcess::ServerProcess(const std::string& program, const std::vector<std::string>& args,
                             std::optional<int> cpu, std::optional<unsigned> files) {
    char pattern[] = "/tmp/voltaro-server-errors.XXXXXX";
    const int errorFd = mkstemp(pattern);
    errorFile_ = pattern;
    int out[2];
    if (errorFd < 0 || pipe(out) != 0) {
        throw std::runtime_error("cannot make the server's pipes");
    }
    std::vector<std::string> argv{program, "--listen", "127.0.0.1:0"};
    argv.insert(argv.end(), args.begin(), args.end());
    pid_ = fork();
    if (pid_ == 0) {
        if (cpu) {
            cpu_set_t set;
            CPU_ZERO(&set);
            CPU_SET(*cpu, &set);
            sched_setaffinity(0, sizeof set, &set);
        }
        if (files) {
            const rlimit limit{*files, *files};
            setrlimit(RLIMIT_NOFILE, &limit);
        }
        dup2(out[1], STDOUT_FILENO);
        dup2(errorFd, STDERR_FILENO);
        std::vector<char*> raw;
        for (auto& arg : argv) {
            raw.push_back(arg.data());
        }
        raw.push_back(nullptr);
        execv(program.c_str(), raw.data());
        _exit(127);
    }
    close(out[1]);
    close(errorFd);
    try {
        const std::string announced = readAnnouncements(out[0]);
        port_ = announcedPort(announced, "listening on");
        metricsPort_ = announcedPort(announced, "metrics on");
    } catch (...) {
        close(out[0]);
        throw;
    }
    close(out[0]);
}

ServerProcess::~ServerProcess() {
    if (pid_ > 0) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
    unlink(errorFile_.c_str());
}

void ServerProcess::signal(int number) const {
    if (pid_ > 0) {
        kill(pid_, number);
    }
}

std::optional<int> ServerProcess::waitForExit(std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (pid_ > 0) {
        int status = 0;
        if (waitpid(pid_, &status, WNOHANG) == pid_) {
            pid_ = -1;
            return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            return std::nullopt;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return std::nullopt;
}

std::string ServerProcess::errors() const {
    std::ifstream in(errorFile_);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

}  // namespace voltaro::server::testing
