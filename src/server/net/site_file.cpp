#include "server/net/site_file.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdio>

namespace voltaro::server {

namespace {

using namespace std::chrono;

constexpr std::array<std::string_view, 7> kDays{"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
constexpr std::array<std::string_view, 12> kMonths{"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                   "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

std::string_view trimmed(std::string_view text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               const auto lower = [](char c) {
                   return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
               };
               return lower(x) == lower(y);
           });
}

// Calls `each` with every comma-separated item of a header's value, trimmed.
template <typename Each>
void forEachItem(std::string_view value, Each each) {
    while (!value.empty()) {
        const auto comma = value.find(',');
        each(trimmed(value.substr(0, comma)));
        value = comma == std::string_view::npos ? std::string_view{} : value.substr(comma + 1);
    }
}

// The q parameter of one Accept-Encoding item ("gzip;q=0.5"): 1 when it has none, 0 when it is
// not a number (a broken weight accepts nothing).
double qualityParameter(std::string_view parameters) {
    const auto q = parameters.find("q=");
    if (q == std::string_view::npos) {
        return 1;
    }
    const std::string number(trimmed(parameters.substr(q + 2)));
    char* end = nullptr;
    const double quality = std::strtod(number.c_str(), &end);
    return end == number.c_str() ? 0 : std::clamp(quality, 0.0, 1.0);
}

int twoDigits(std::string_view text) {
    if (text.size() != 2 || text[0] < '0' || text[0] > '9' || text[1] < '0' || text[1] > '9') {
        return -1;
    }
    return (text[0] - '0') * 10 + (text[1] - '0');
}

// The tag with any weak prefix taken off: If-None-Match compares tags weakly.
std::string_view opaqueTag(std::string_view tag) {
    return tag.starts_with("W/") ? tag.substr(2) : tag;
}

}  // namespace

double acceptedQuality(std::string_view acceptEncoding, std::string_view coding) {
    std::optional<double> own;
    std::optional<double> any;
    forEachItem(acceptEncoding, [&](std::string_view item) {
        const auto semicolon = item.find(';');
        const std::string_view name = trimmed(item.substr(0, semicolon));
        const double quality = semicolon == std::string_view::npos
                                   ? 1.0
                                   : qualityParameter(item.substr(semicolon + 1));
        if (equalsIgnoringCase(name, coding)) {
            own = quality;
        } else if (name == "*") {
            any = quality;
        }
    });
    return own.value_or(any.value_or(0));
}

std::string httpDate(sys_seconds time) {
    const sys_days day = floor<days>(time);
    const year_month_day date(day);
    const hh_mm_ss clock(time - day);
    char text[32];
    std::snprintf(text, sizeof text, "%s, %02u %s %04d %02d:%02d:%02d GMT",
                  kDays[weekday(day).c_encoding()].data(), unsigned(date.day()),
                  kMonths[unsigned(date.month()) - 1].data(), int(date.year()),
                  int(clock.hours().count()), int(clock.minutes().count()),
                  int(clock.seconds().count()));
    return text;
}

std::optional<sys_seconds> parseHttpDate(std::string_view text) {
    // "Sun, 06 Nov 1994 08:49:37 GMT": every field at its fixed place.
    if (text.size() != 29 || text.substr(3, 2) != ", " || text.substr(25) != " GMT" ||
        text[7] != ' ' || text[11] != ' ' || text[16] != ' ' || text[19] != ':' ||
        text[22] != ':') {
        return std::nullopt;
    }
    const auto month = std::find(kMonths.begin(), kMonths.end(), text.substr(8, 3));
    int year = 0;
    const auto [end, error] = std::from_chars(text.data() + 12, text.data() + 16, year);
    const int day = twoDigits(text.substr(5, 2));
    const int hour = twoDigits(text.substr(17, 2));
    const int minute = twoDigits(text.substr(20, 2));
    const int second = twoDigits(text.substr(23, 2));
    if (month == kMonths.end() || error != std::errc{} || end != text.data() + 16 || day < 0 ||
        hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 60) {
        return std::nullopt;
    }
    const year_month_day date{std::chrono::year(year),
                              std::chrono::month(unsigned(month - kMonths.begin()) + 1),
                              std::chrono::day(unsigned(day))};
    if (!date.ok()) {
        return std::nullopt;
    }
    return sys_days(date) + hours(hour) + minutes(minute) + seconds(second);
}

std::optional<SiteFile> SiteFile::choose(const std::filesystem::path& file,
                                         std::string_view acceptEncoding) {
    std::error_code error;
    const auto size = std::filesystem::file_size(file, error);
    const auto written = std::filesystem::last_write_time(file, error);
    if (error) {
        return std::nullopt;
    }
    SiteFile chosen;
    chosen.stored = file;
    chosen.size = size;
    chosen.modified = floor<seconds>(file_clock::to_sys(written));
    chosen.lastModified = httpDate(chosen.modified);
    const auto stamp = duration_cast<nanoseconds>(written.time_since_epoch()).count();
    char tag[64];
    std::snprintf(tag, sizeof tag, "\"%jx-%llx", std::uintmax_t(size),
                  static_cast<unsigned long long>(stamp));
    chosen.etag = tag;

    // brotli is smaller than gzip for the same file: it goes first at an equal weight.
    struct Coding {
        std::string_view name, suffix;
    };
    for (const Coding coding : {Coding{"br", ".br"}, Coding{"gzip", ".gz"}}) {
        if (acceptedQuality(acceptEncoding, coding.name) <= 0) {
            continue;
        }
        std::filesystem::path copy = file;
        copy += coding.suffix;
        const auto status = std::filesystem::symlink_status(copy, error);
        if (error || !std::filesystem::is_regular_file(status)) {
            continue;
        }
        const auto copySize = std::filesystem::file_size(copy, error);
        const auto copyWritten = std::filesystem::last_write_time(copy, error);
        // Compared to the second: brotli keeps a file's time without its fraction.
        if (error || floor<seconds>(copyWritten) < floor<seconds>(written)) {
            continue;
        }
        chosen.stored = std::move(copy);
        chosen.encoding = coding.name;
        chosen.size = copySize;
        chosen.etag += "-";
        chosen.etag += coding.name;
        break;
    }
    chosen.etag += "\"";
    return chosen;
}

bool SiteFile::isNotModified(std::optional<std::string_view> ifNoneMatch,
                             std::optional<std::string_view> ifModifiedSince) const {
    if (ifNoneMatch) {
        bool matched = false;
        forEachItem(*ifNoneMatch, [&](std::string_view tag) {
            matched = matched || tag == "*" || opaqueTag(tag) == etag;
        });
        return matched;
    }
    if (ifModifiedSince) {
        const auto since = parseHttpDate(trimmed(*ifModifiedSince));
        return since && modified <= *since;
    }
    return false;
}

}  // namespace voltaro::server
