#pragma once

#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace voltaro::server::testing {

// voltaro-server run as a child process on a free loopback port, the way an admin starts it.
// Stopped with SIGKILL when the object goes, should a test fail before stopping it itself.
class ServerProcess {
  public:
    // Starts `program` with `--listen 127.0.0.1:0` and `args`, and reads the port it announces.
    // `cpu` pins it to that core (the load bench). Throws std::runtime_error when it does not
    // come up within 10 s.
    // `files`: the descriptors it may open (soft and hard limit), where a test needs few.
    ServerProcess(const std::string& program, const std::vector<std::string>& args,
                  std::optional<int> cpu = std::nullopt,
                  std::optional<unsigned> files = std::nullopt);
    ~ServerProcess();
    ServerProcess(const ServerProcess&) = delete;
    ServerProcess& operator=(const ServerProcess&) = delete;

    unsigned short port() const { return port_; }
    // The port of --metrics, when it was asked for (0 otherwise).
    unsigned short metricsPort() const { return metricsPort_; }
    pid_t pid() const { return pid_; }
    void signal(int number) const;
    // The exit status once it has exited (-1 for a death by signal), waiting up to `limit`.
    std::optional<int> waitForExit(std::chrono::milliseconds limit);
    // What it wrote to standard error so far.
    std::string errors() const;

  private:
    pid_t pid_ = -1;
    unsigned short port_ = 0;
    unsigned short metricsPort_ = 0;
    std::string errorFile_;
};

}  // namespace voltaro::server::testing
