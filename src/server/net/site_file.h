#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace voltaro::server {

// One file of the page as a GET sends it: the stored copy chosen for the client (the build keeps
// a gzip and a brotli copy beside each text file and the module, so nothing is compressed while
// serving), and the validators that let a browser keep what it has.
struct SiteFile {
    std::filesystem::path stored;  // the file itself, or its precompressed copy
    std::string_view encoding;     // "br", "gzip", or empty for the file as it is
    std::uintmax_t size = 0;       // of the stored copy: what goes over the wire
    std::string etag;              // a strong validator, one for each stored copy
    std::chrono::sys_seconds modified;
    std::string lastModified;  // `modified` as an HTTP date

    // The copy of `file` that a client whose Accept-Encoding is `acceptEncoding` is best sent:
    // brotli before gzip, each only when accepted (a zero quality refuses it) and only when the
    // copy is a plain file at least as new as the file (a stale copy is never sent). Nothing when
    // the file cannot be read.
    static std::optional<SiteFile> choose(const std::filesystem::path& file,
                                          std::string_view acceptEncoding);

    // Whether the client's copy is still this one: If-None-Match when it is given (any of its
    // tags, weak or strong, or "*"), otherwise If-Modified-Since, to the second.
    bool isNotModified(std::optional<std::string_view> ifNoneMatch,
                       std::optional<std::string_view> ifModifiedSince) const;
};

// The quality (0 to 1) that an Accept-Encoding value gives `coding`: its own entry, or "*" when
// it has none; 0 when neither is there.
double acceptedQuality(std::string_view acceptEncoding, std::string_view coding);

// An IMF-fixdate ("Sun, 06 Nov 1994 08:49:37 GMT"), and back; nothing for any other form.
std::string httpDate(std::chrono::sys_seconds time);
std::optional<std::chrono::sys_seconds> parseHttpDate(std::string_view text);

}  // namespace voltaro::server
