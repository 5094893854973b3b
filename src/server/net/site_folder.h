#pragma once

#include <filesystem>
#include <optional>
#include <string_view>

namespace voltaro::server {

// The folder of the web edition's page, as the server offers it: only regular files inside it,
// found from a request's target whatever that target says (percent-escapes, "..", symbolic links
// pointing elsewhere), and a folder's index.html in place of a listing.
class SiteFolder {
  public:
    explicit SiteFolder(const std::filesystem::path& root);

    bool exists() const { return !root_.empty(); }

    // The file that a GET of `target` (the request line's path, with any query) serves, or
    // nothing for "not found".
    std::optional<std::filesystem::path> resolve(std::string_view target) const;

    // The Content-Type of a served file, from its extension.
    static std::string_view mimeType(const std::filesystem::path& file);

  private:
    std::filesystem::path root_;  // canonical; empty when the folder does not exist
};

// `relative` under the prefix the running program is installed in (PREFIX/bin or PREFIX/games);
// none when the program cannot be found.
std::optional<std::filesystem::path> besideProgram(const std::filesystem::path& relative);

// The page installed beside the program: PREFIX/share/voltaro/site, /usr/share/voltaro/site
// when the program cannot be found.
std::filesystem::path installedSite();

}  // namespace voltaro::server
