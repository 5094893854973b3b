#include "server/net/site_folder.h"

#include <array>
#include <string>
#include <utility>

#include "online/text_case.h"

namespace voltaro::server {

namespace {

// The path with its escapes decoded; nothing when an escape is broken or gives a NUL, which no
// file name holds.
std::optional<std::string> percentDecoded(std::string_view path) {
    std::string decoded;
    decoded.reserve(path.size());
    for (std::size_t i = 0; i < path.size(); ++i) {
        if (path[i] != '%') {
            decoded += path[i];
            continue;
        }
        if (i + 2 >= path.size()) {
            return std::nullopt;
        }
        const int high = online::hexDigit(path[i + 1]);
        const int low = online::hexDigit(path[i + 2]);
        if (high < 0 || low < 0 || (high == 0 && low == 0)) {
            return std::nullopt;
        }
        decoded += static_cast<char>(high * 16 + low);
        i += 2;
    }
    return decoded;
}

// The decoded path as names below the root. Nothing when any name climbs out (".."), is hidden
// (a leading dot: no dotfiles are part of the page) or holds a backslash.
std::optional<std::filesystem::path> relativePath(std::string_view decoded) {
    std::filesystem::path relative;
    std::size_t start = 0;
    while (start <= decoded.size()) {
        std::size_t end = decoded.find('/', start);
        if (end == std::string_view::npos) {
            end = decoded.size();
        }
        const std::string_view name = decoded.substr(start, end - start);
        if (!name.empty()) {
            if (name.front() == '.' || name.find('\\') != std::string_view::npos) {
                return std::nullopt;
            }
            relative /= std::string(name);
        }
        start = end + 1;
    }
    return relative;
}

bool isInside(const std::filesystem::path& file, const std::filesystem::path& root) {
    const std::string& f = file.native();
    const std::string& r = root.native();
    return f.size() > r.size() && f.compare(0, r.size(), r) == 0 &&
           (r.back() == '/' || f[r.size()] == '/');
}

}  // namespace

SiteFolder::SiteFolder(const std::filesystem::path& root) {
    std::error_code error;
    auto canonical = std::filesystem::canonical(root, error);
    if (!error && std::filesystem::is_directory(canonical, error)) {
        root_ = std::move(canonical);
    }
}

std::optional<std::filesystem::path> SiteFolder::resolve(std::string_view target) const {
    if (root_.empty() || target.empty() || target.front() != '/') {
        return std::nullopt;
    }
    target = target.substr(0, target.find_first_of("?#"));
    const auto decoded = percentDecoded(target);
    if (!decoded) {
        return std::nullopt;
    }
    const auto relative = relativePath(*decoded);
    if (!relative) {
        return std::nullopt;
    }
    std::filesystem::path file = root_ / *relative;
    std::error_code error;
    if (std::filesystem::is_directory(file, error)) {
        file /= "index.html";
    }
    // Symbolic links are followed to where they lead, which must still be inside the folder.
    file = std::filesystem::canonical(file, error);
    if (error || !isInside(file, root_) || !std::filesystem::is_regular_file(file, error)) {
        return std::nullopt;
    }
    return file;
}

std::string_view SiteFolder::mimeType(const std::filesystem::path& file) {
    static constexpr std::array<std::pair<std::string_view, std::string_view>, 19> kTypes{{
        {".html", "text/html; charset=utf-8"},
        {".js", "application/javascript"},
        {".mjs", "application/javascript"},
        {".wasm", "application/wasm"},
        {".css", "text/css; charset=utf-8"},
        {".json", "application/json"},
        {".map", "application/json"},
        {".webmanifest", "application/manifest+json"},
        {".png", "image/png"},
        {".svg", "image/svg+xml"},
        {".ico", "image/vnd.microsoft.icon"},
        {".jpg", "image/jpeg"},
        {".webp", "image/webp"},
        {".ttf", "font/ttf"},
        {".otf", "font/otf"},
        {".woff", "font/woff"},
        {".woff2", "font/woff2"},
        {".txt", "text/plain; charset=utf-8"},
        {".xml", "application/xml"},
    }};
    const std::string extension = file.extension().string();
    for (const auto& [known, type] : kTypes) {
        if (extension == known) {
            return type;
        }
    }
    return "application/octet-stream";
}

std::optional<std::filesystem::path> besideProgram(const std::filesystem::path& relative) {
    std::error_code error;
    const auto program = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error) {
        return std::nullopt;
    }
    return program.parent_path().parent_path() / relative;
}

std::filesystem::path installedSite() {
    return besideProgram("share/voltaro/site").value_or("/usr/share/voltaro/site");
}

}  // namespace voltaro::server
