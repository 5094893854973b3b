#include "server/net/replay_folder.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <utility>

#include "server/core/room_code.h"

namespace voltaro::server {

ReplayFolder::ReplayFolder(std::filesystem::path folder, std::string prefix)
    : folder_(std::move(folder)), prefix_(std::move(prefix)) {}

std::optional<boost::beast::file> ReplayFolder::open(std::string_view path) const {
    if (folder_.empty() || !asksForReplay(path)) {
        return std::nullopt;
    }
    const std::string_view id = path.substr(kPath.size());
    if (!isReplayId(id, prefix_)) {
        return std::nullopt;
    }
    // Without waiting on anything but a file (O_NONBLOCK), and never through a link.
    const std::filesystem::path record = folder_ / (std::string(id) + ".replay");
    const int fd = ::open(record.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (fd < 0) {
        return std::nullopt;
    }
    struct stat about {};
    if (::fstat(fd, &about) != 0 || !S_ISREG(about.st_mode)) {
        ::close(fd);
        return std::nullopt;
    }
    boost::beast::file file;
    file.native_handle(fd);  // the file owns it from here
    return file;
}

}  // namespace voltaro::server
