#include "server/core/random_source.h"

#include <fcntl.h>
#include <sys/random.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

namespace voltaro::server {

namespace {

[[noreturn]] void unavailable(int error) {
    throw std::system_error(error, std::generic_category(), "no cryptographic random source");
}

// /dev/urandom, for kernels older than getrandom.
void fillFromDevice(std::span<std::byte> out) {
    const int fd = ::open("/dev/urandom", O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        unavailable(errno);
    }
    std::size_t done = 0;
    while (done < out.size()) {
        const ssize_t got = ::read(fd, out.data() + done, out.size() - done);
        if (got > 0) {
            done += static_cast<std::size_t>(got);
        } else if (got == 0 || errno != EINTR) {
            const int error = got == 0 ? EIO : errno;
            ::close(fd);
            unavailable(error);
        }
    }
    ::close(fd);
}

}  // namespace

void SystemRandom::fill(std::span<std::byte> out) {
    std::size_t done = 0;
    while (done < out.size()) {
        const ssize_t got = ::getrandom(out.data() + done, out.size() - done, 0);
        if (got > 0) {
            done += static_cast<std::size_t>(got);
        } else if (got < 0 && errno == ENOSYS) {
            fillFromDevice(out.subspan(done));
            return;
        } else if (got < 0 && errno != EINTR) {
            unavailable(errno);
        }
    }
}

void SeededRandom::fill(std::span<std::byte> out) {
    for (std::byte& byte : out) {
        byte = static_cast<std::byte>(numbers_.next());
    }
}

}  // namespace voltaro::server
