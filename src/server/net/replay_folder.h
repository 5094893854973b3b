#pragma once

#include <boost/beast/core/file.hpp>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace voltaro::server {

// The finished match records as GET /replay/ID offers them, read-only: the path must be exactly
// /replay/ and an id this process could have given (its prefix, then the id's symbols), and the
// file opened is that id's record, a regular file, never one a symbolic link points to. No name
// from the request reaches the disk otherwise: the records' temporary files, whatever else the
// folder holds, and every other path are "not found".
class ReplayFolder {
  public:
    static constexpr std::string_view kPath = "/replay/";

    // `folder` empty: matches are not recorded, and nothing is found. `prefix`: the room codes'
    // (normalised), with which every replay id of this process starts.
    ReplayFolder(std::filesystem::path folder, std::string prefix);

    // Whether a request for `path` (without its query) is one for a replay.
    static bool asksForReplay(std::string_view path) { return path.starts_with(kPath); }

    // The record that `path` names, open for reading; nothing for "not found".
    std::optional<boost::beast::file> open(std::string_view path) const;

  private:
    std::filesystem::path folder_;
    std::string prefix_;
};

}  // namespace voltaro::server
