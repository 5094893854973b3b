#include "client/join_link.h"

#include <algorithm>
#include <cctype>
#include <optional>

#include "online/text_case.h"

namespace voltaro::client {

namespace {

using online::lowered;

std::string trimmed(std::string_view text) {
    const auto space = [](char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; };
    while (!text.empty() && space(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && space(text.back())) {
        text.remove_suffix(1);
    }
    return std::string(text);
}

// A code as a query writes it: whatever a player typed, the address names that one room.
std::string encoded(std::string_view code) {
    constexpr std::string_view kHex = "0123456789ABCDEF";
    std::string out;
    for (const char c : code) {
        const auto byte = static_cast<unsigned char>(c);
        if (std::isalnum(byte) || c == '-' || c == '_' || c == '.' || c == '~') {
            out += c;
        } else {
            out += '%';
            out += kHex[byte >> 4];
            out += kHex[byte & 15];
        }
    }
    return out;
}

bool startsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

// The value that `name` (with its '=') has in a link's query, as the link writes it; nothing
// when the query has no such name.
std::optional<std::string> queryValue(const std::string& text, std::string_view name) {
    const auto query = text.find(name);
    if (query == std::string::npos || query == 0 ||
        (text[query - 1] != '?' && text[query - 1] != '&')) {
        return std::nullopt;
    }
    const auto start = query + name.size();
    return text.substr(start, text.find_first_of("&#", query) - start);
}

}  // namespace

std::string matchSocketUrl(std::string_view address) {
    std::string text = trimmed(address);
    std::string scheme = "ws";
    const auto separator = text.find("://");
    if (separator != std::string::npos) {
        const std::string given = lowered(text.substr(0, separator));
        if (given == "https" || given == "wss") {
            scheme = "wss";
        } else if (given != "http" && given != "ws") {
            return {};
        }
        text.erase(0, separator + 3);
    }
    const std::string authority = text.substr(0, text.find_first_of("/?#"));
    if (authority.empty()) {
        return {};
    }
    return scheme + "://" + authority + "/ws";
}

JoinTarget readJoinTarget(std::string_view typed) {
    const std::string text = trimmed(typed);
    JoinTarget target;
    const bool address = text.find_first_of(":/.") != std::string::npos;
    if (!address) {
        target.code = text;
        return target;
    }
    target.server = matchSocketUrl(text);
    for (const std::string_view name : {"match=", "watch="}) {
        if (auto code = queryValue(text, name)) {
            target.code = std::move(*code);
            target.watch = name == "watch=";
            break;
        }
    }
    return target;
}

std::string roomSocketUrl(std::string_view socketUrl, std::string_view code) {
    std::string url(socketUrl);
    if (!code.empty()) {
        url += (url.find('?') == std::string::npos ? "?room=" : "&room=");
        url += encoded(code);
    }
    return url;
}

namespace {

// The page of the server at `address` (its WebSocket address, or one of its pages'), without
// a query: http://host:port/ or the folder the page is served from.
std::string pageAddress(std::string_view address) {
    std::string link = trimmed(address.substr(0, address.find_first_of("?#")));
    const bool socket = startsWith(link, "ws://") || startsWith(link, "wss://");
    if (startsWith(link, "wss://")) {
        link.replace(0, 3, "https");
    } else if (startsWith(link, "ws://")) {
        link.replace(0, 2, "http");
    } else if (link.find("://") == std::string::npos) {
        link.insert(0, "http://");
    }
    if (socket && link.ends_with("/ws")) {
        link.resize(link.size() - 2);
    }
    if (link.find('/', link.find("://") + 3) == std::string::npos) {
        link += '/';
    }
    return link;
}

// That page with `name`=`code` for its query.
std::string pageLink(std::string_view address, std::string_view name, std::string_view code) {
    return pageAddress(address) + '?' + std::string(name) + '=' + encoded(code);
}

}  // namespace

std::string joinLink(std::string_view address, std::string_view code) {
    return pageLink(address, "match", code);
}

std::string watchLink(std::string_view address, std::string_view code) {
    return pageLink(address, "watch", code);
}

std::string replayLink(std::string_view address, std::string_view id) {
    return pageLink(address, "replay", id);
}

namespace {

// A replay id is a word of the room codes' alphabet; anything else (a path, dots, nothing)
// names no record.
bool replayIdLike(std::string_view id) {
    return !id.empty() && std::all_of(id.begin(), id.end(), [](char c) {
        return std::isalnum(static_cast<unsigned char>(c)) != 0;
    });
}

}  // namespace

std::string replayRecordUrl(std::string_view address, std::string_view id) {
    return replayIdLike(id) ? pageAddress(address) + "replay/" + std::string(id) : std::string();
}

std::string replayRecordOf(std::string_view link) {
    const std::string text = trimmed(link);
    const auto id = queryValue(text, "replay=");
    const auto separator = text.find("://");
    const std::string scheme =
        separator == std::string::npos ? std::string() : lowered(text.substr(0, separator));
    if ((scheme != "http" && scheme != "https") || !id) {
        return {};
    }
    return replayRecordUrl(text, *id);
}

std::string queueSocketUrl(std::string_view socketUrl) {
    std::string url(socketUrl);
    return url + (url.find('?') == std::string::npos ? "?queue=1" : "&queue=1");
}

std::string pageToJoin(std::string_view typed, std::string_view pageAddress, bool watch) {
    const JoinTarget target = readJoinTarget(typed);
    if (target.code.empty()) {
        return {};
    }
    const bool elsewhere = !target.server.empty() && target.server != matchSocketUrl(pageAddress);
    const std::string_view at = elsewhere ? std::string_view(target.server) : pageAddress;
    return watch || target.watch ? watchLink(at, target.code) : joinLink(at, target.code);
}

}  // namespace voltaro::client
