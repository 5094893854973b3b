#include "server/net/server_options.h"

#include <arpa/inet.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <limits>
#include <optional>
#include <string_view>
#include <utility>

#include "online/text_case.h"
#include "server/net/trusted_proxies.h"

#ifndef VOLTARO_VERSION
#define VOLTARO_VERSION "unknown"
#endif

namespace voltaro::server {

namespace {

using online::lowered;

constexpr std::string_view kHelp = R"(Usage: voltaro-server [OPTION]...
Hosts online matches of Soccer Game: VOLTARO! and serves the web edition's page on the same
port: open http://ADDR:PORT/ in a browser, or connect a game to ws://ADDR:PORT/ws.

  --listen ADDR:PORT     address and port to listen on (default 127.0.0.1:8000; [::1]:8000
                         for IPv6; port 0 picks a free one)
  --site DIR             the web edition's site folder to serve (default: %SITE%)
  --records DIR          write every finished match into DIR as a replay script
  --records-max-bytes N  keep DIR's records under N bytes, removing the oldest first
                         (default 1073741824, 1 GiB; a match longer than 4 MiB is not
                         recorded)
  --origin ORIGIN        also accept WebSocket connections from pages of ORIGIN, such as
                         https://voltaro.example.org (repeatable; pages of the server's own
                         address are always accepted)
  --name NAME            also answer to the host name NAME, such as voltaro.example.org
                         (repeatable; IP addresses, localhost and the hosts of --origin
                         always do): a request for any other name is refused
  --trusted-proxy ADDR   a reverse proxy in front, ADDR or ADDR/BITS: its connections count
                         as the client's that it names last in X-Forwarded-For (repeatable;
                         default 127.0.0.0/8 and ::1; none trusts no peer)
  --code-prefix TEXT     start every room code with TEXT, so that a reverse proxy can route
                         a room to this process
  --timeout SECONDS      how long a silent connection is kept: request headers and answers to
                         pings must come within it (default 20)
  --max-per-address N    open connections from one address, or IPv6 /64 (default 64;
                         0: no limit)
  --max-new-rate N       new connections a second from one address, or IPv6 /64, with a few
                         seconds' worth at once (default 20; 0: no limit)
  --max-rate N           frames a second one connection may send, pings and empty
                         fragments too (default 50)
  --stats FILE           on exit, write tick lateness, delivery and traffic figures as JSON
  --metrics ADDR:PORT    serve the server's figures for Prometheus on a port of their own:
                         http://ADDR:PORT/metrics, and /healthz (keep it off the public network)
  -h, --help             print this help and exit
  -v, --version          print the version and exit

SIGTERM or SIGINT ends the server: open matches are told, their connections closed, and
finished matches recorded.
)";

EarlyExit usageError(const std::string& message) {
    return {2,
            "voltaro-server: " + message + "\nTry 'voltaro-server --help' for more information.\n"};
}

std::optional<unsigned long> readNumber(std::string_view text, unsigned long max) {
    unsigned long value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() || value > max) {
        return std::nullopt;
    }
    return value;
}

// ADDR:PORT with a numeric IPv4 address, or [ADDR]:PORT with an IPv6 one. Names are not looked
// up: the server listens where it is told, not where a resolver points.
bool readListen(std::string_view text, std::string& address, std::uint16_t& port) {
    const auto colon = text.rfind(':');
    if (colon == std::string_view::npos) {
        return false;
    }
    std::string host(text.substr(0, colon));
    const auto number = readNumber(text.substr(colon + 1), 65535);
    if (!number) {
        return false;
    }
    unsigned char bytes[16];
    if (host.size() > 2 && host.front() == '[' && host.back() == ']') {
        host = host.substr(1, host.size() - 2);
        if (inet_pton(AF_INET6, host.c_str(), bytes) != 1) {
            return false;
        }
    } else if (inet_pton(AF_INET, host.c_str(), bytes) != 1) {
        return false;
    }
    address = host;
    port = static_cast<std::uint16_t>(*number);
    return true;
}

// scheme://host[:port], as a browser sends it in its Origin header.
bool isOrigin(std::string_view text) {
    const auto scheme = text.find("://");
    if (scheme == std::string_view::npos || scheme == 0 || scheme + 3 == text.size()) {
        return false;
    }
    return text.find_first_of("/?# ", scheme + 3) == std::string_view::npos;
}

// A DNS name as a browser puts it in Host: letters, digits, hyphens and dots.
bool isHostName(std::string_view text) {
    return !text.empty() && text.size() <= 253 && text.front() != '.' && text.front() != '-' &&
           std::all_of(text.begin(), text.end(),
                       [](unsigned char c) { return std::isalnum(c) || c == '-' || c == '.'; });
}

// Options that may be given again: the first one given replaces the default.
struct Repeated {
    bool trustedProxies = false;
};

bool isKnownOption(std::string_view name) {
    for (std::string_view known :
         {"--listen", "--site", "--records", "--records-max-bytes", "--origin", "--code-prefix",
          "--timeout", "--max-per-address", "--max-rate", "--stats", "--metrics", "--trusted-proxy",
          "--name", "--max-new-rate"}) {
        if (name == known) {
            return true;
        }
    }
    return false;
}

std::string helpText(const std::filesystem::path& defaultSite) {
    std::string text(kHelp);
    const std::string mark = "%SITE%";
    text.replace(text.find(mark), mark.size(), defaultSite.string());
    return text;
}

// Applies one option that takes a value; an error message when the value does not fit.
std::optional<std::string> applyOption(std::string_view name, const std::string& value,
                                       ServerOptions& options, Repeated& given) {
    if (name == "--listen") {
        if (!readListen(value, options.address, options.port)) {
            return "--listen wants ADDR:PORT with a numeric address, not '" + value + "'";
        }
    } else if (name == "--site") {
        options.site = value;
    } else if (name == "--records") {
        options.records = value;
    } else if (name == "--records-max-bytes") {
        const auto bytes = readNumber(value, std::numeric_limits<unsigned long>::max());
        if (!bytes || *bytes == 0) {
            return "--records-max-bytes wants a number of bytes above 0, not '" + value + "'";
        }
        options.recordsMaxBytes = *bytes;
    } else if (name == "--origin") {
        if (!isOrigin(value)) {
            return "--origin wants scheme://host[:port], not '" + value + "'";
        }
        options.origins.push_back(value);
    } else if (name == "--code-prefix") {
        // Codes are typed in any case and read in upper case: the prefix must survive that.
        if (value.empty() || value.size() > 4 ||
            !std::all_of(value.begin(), value.end(),
                         [](unsigned char c) { return std::isalnum(c); })) {
            return "--code-prefix wants one to four letters or digits, not '" + value + "'";
        }
        options.codePrefix = value;
        std::transform(options.codePrefix.begin(), options.codePrefix.end(),
                       options.codePrefix.begin(),
                       [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    } else if (name == "--timeout") {
        const auto seconds = readNumber(value, 3600);
        if (!seconds || *seconds == 0) {
            return "--timeout wants a number of seconds from 1 to 3600, not '" + value + "'";
        }
        options.timeout = std::chrono::seconds(*seconds);
    } else if (name == "--max-per-address") {
        const auto count = readNumber(value, 1000000);
        if (!count) {
            return "--max-per-address wants a number, not '" + value + "'";
        }
        options.maxPerAddress = *count;
    } else if (name == "--max-rate") {
        const auto count = readNumber(value, 100000);
        if (!count || *count == 0) {
            return "--max-rate wants a number from 1 to 100000, not '" + value + "'";
        }
        options.maxMessagesPerSecond = *count;
    } else if (name == "--max-new-rate") {
        const auto count = readNumber(value, 100000);
        if (!count) {
            return "--max-new-rate wants a number, not '" + value + "'";
        }
        options.maxNewPerSecond = *count;
    } else if (name == "--trusted-proxy") {
        if (!std::exchange(given.trustedProxies, true)) {
            options.trustedProxies.clear();
        }
        if (value == "none") {
            return std::nullopt;
        }
        if (!TrustedProxies::isNetwork(value)) {
            return "--trusted-proxy wants a numeric ADDR or ADDR/BITS, not '" + value + "'";
        }
        options.trustedProxies.push_back(value);
    } else if (name == "--name") {
        std::string host = lowered(value);
        if (host.ends_with('.')) {
            host.pop_back();
        }
        if (!isHostName(host)) {
            return "--name wants a host name such as voltaro.example.org, not '" + value + "'";
        }
        options.names.push_back(host);
    } else if (name == "--stats") {
        options.stats = value;
    } else if (name == "--metrics") {
        if (!readListen(value, options.metricsAddress, options.metricsPort)) {
            return "--metrics wants ADDR:PORT with a numeric address, not '" + value + "'";
        }
    }
    return std::nullopt;
}

}  // namespace

std::variant<ServerOptions, EarlyExit> readServerOptions(const std::vector<std::string>& args,
                                                         const std::filesystem::path& defaultSite) {
    ServerOptions options;
    options.site = defaultSite;
    Repeated given;
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string_view arg = args[i];
        if (arg == "-h" || arg == "--help") {
            return EarlyExit{0, helpText(defaultSite)};
        }
        if (arg == "-v" || arg == "--version") {
            return EarlyExit{0, std::string("voltaro-server ") + VOLTARO_VERSION + "\n"};
        }
        if (!arg.starts_with("--")) {
            return usageError("unexpected argument '" + std::string(arg) + "'");
        }
        const auto equals = arg.find('=');
        const std::string_view name = arg.substr(0, equals);
        if (!isKnownOption(name)) {
            return usageError("unrecognized option '" + std::string(name) + "'");
        }
        std::string value;
        if (equals != std::string_view::npos) {
            value = arg.substr(equals + 1);
        } else if (i + 1 < args.size()) {
            value = args[++i];
        } else {
            return usageError("option '" + std::string(arg) + "' needs a value");
        }
        if (auto error = applyOption(name, value, options, given)) {
            return usageError(*error);
        }
    }
    return options;
}

}  // namespace voltaro::server
