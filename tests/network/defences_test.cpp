// The transport's defences, each against the real program on loopback: the page's files and
// nothing else, the Origin and Host rules, requests with bodies, and the limits on message size,
// frame rate, connections per client (behind a proxy too) and in all, new connections, slow
// headers, silent peers and broken frames; and the operator's port, where what they refused is
// counted.
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <boost/asio/connect.hpp>
#include <boost/asio/read.hpp>
#include <boost/asio/write.hpp>
#include <boost/beast/http.hpp>
#include <filesystem>
#include <fstream>

#include "online/protocol.h"
#include "server_process.h"
#include "ws_client.h"

namespace voltaro::server::testing {
namespace {

namespace asio = boost::asio;
namespace http = boost::beast::http;
using namespace std::chrono_literals;
using tcp = asio::ip::tcp;

// Generous bounds for a loaded machine; every wait ends as soon as its condition holds.
constexpr auto kPatience = 10s;

// How a test's HTTP request is made.
struct Request {
    http::verb method = http::verb::get;
    std::string host = "127.0.0.1";
    std::vector<std::pair<std::string, std::string>> headers{};
};

class ServerDefences : public ::testing::Test {
  protected:
    void start(std::vector<std::string> args = {}, std::optional<unsigned> files = {}) {
        args.insert(args.end(), {"--site", site_.string()});
        server_.reset();
        server_.emplace(VOLTARO_SERVER, args, std::nullopt, files);
        endpoint_ = tcp::endpoint(asio::ip::make_address("127.0.0.1"), server_->port());
    }

    std::shared_ptr<WsClient> connect(WsClient::Options options = {}) {
        auto client = std::make_shared<WsClient>(io_);
        client->connect(endpoint_, std::move(options));
        runUntil(
            io_, [&] { return client->connected() || client->failed(); }, kPatience);
        return client;
    }

    // The close code the server ended `client` with, once it has (0 for none within patience).
    unsigned closeCode(WsClient& client) {
        runUntil(
            io_, [&] { return client.ended(); }, kPatience);
        return client.closeReason() ? client.closeReason()->code : 0;
    }

    struct Reply {
        unsigned status = 0;
        std::string type;
        std::string body;
    };
    // One request on a connection of its own; status 0 when the server closed it unanswered.
    Reply get(const std::string& target, Request how = {}) {
        return getFrom(endpoint_, target, how);
    }
    Reply getFrom(const tcp::endpoint& at, const std::string& target, Request how = {}) {
        tcp::socket socket(io_);
        socket.connect(at);
        timeval wait{10, 0};
        setsockopt(socket.native_handle(), SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
        http::request<http::empty_body> request(how.method, target, 11);
        request.set(http::field::host, how.host);
        for (const auto& [name, value] : how.headers) {
            request.insert(name, value);
        }
        boost::system::error_code error;
        http::write(socket, request, error);
        boost::beast::flat_buffer buffer;
        http::response_parser<http::string_body> parser;
        parser.skip(how.method == http::verb::head);
        http::read(socket, buffer, parser, error);
        if (error) {
            return {};
        }
        const auto& response = parser.get();
        return {response.result_int(), std::string(response[http::field::content_type]),
                response.body()};
    }
    Reply get(const std::string& target, http::verb method) {
        return get(target, Request{.method = method});
    }

    long residentKiB() const {
        std::ifstream status("/proc/" + std::to_string(server_->pid()) + "/status");
        for (std::string line; std::getline(status, line);) {
            if (line.starts_with("VmRSS:")) {
                return std::stol(line.substr(6));
            }
        }
        return -1;
    }

    // A raw TCP connection that has done the WebSocket handshake by hand and from then on does
    // only what the test says: what a broken or frozen client does.
    tcp::socket rawWebSocket() {
        tcp::socket socket(io_);
        socket.connect(endpoint_);
        const std::string request =
            "GET /ws HTTP/1.1\r\nHost: 127.0.0.1\r\nUpgrade: websocket\r\nConnection: Upgrade\r\n"
            "Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\nSec-WebSocket-Version: 13\r\n\r\n";
        asio::write(socket, asio::buffer(request));
        std::string head;
        while (head.find("\r\n\r\n") == std::string::npos) {
            char byte;  // one at a time: what follows the headers stays unread
            asio::read(socket, asio::buffer(&byte, 1));
            head += byte;
        }
        EXPECT_TRUE(head.starts_with("HTTP/1.1 101")) << head;
        return socket;
    }

    // Reads until the server closes `socket`; everything it sent, or nothing if it stays open.
    std::optional<std::string> readUntilClosed(tcp::socket& socket) {
        timeval wait{1, 0};
        setsockopt(socket.native_handle(), SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
        std::string all;
        const auto deadline = Clock::now() + kPatience;
        while (Clock::now() < deadline) {
            char chunk[4096];
            const ssize_t n = ::recv(socket.native_handle(), chunk, sizeof chunk, 0);
            if (n == 0 || (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK)) {
                return all;
            }
            if (n > 0) {
                all.append(chunk, static_cast<std::size_t>(n));
            }
        }
        return std::nullopt;
    }

    // The code of the first close frame in what the server sent; 0 for none.
    static unsigned closeCodeIn(const std::string& sent) {
        const auto close = sent.find('\x88');
        if (close == std::string::npos || sent.size() < close + 4) {
            return 0;
        }
        return static_cast<unsigned char>(sent[close + 2]) * 256u +
               static_cast<unsigned char>(sent[close + 3]);
    }

    // Reads until the server sends a close frame (its code) or ends the connection (0).
    unsigned closeFrameCode(tcp::socket& socket) {
        timeval wait{1, 0};
        setsockopt(socket.native_handle(), SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
        std::string all;
        const auto deadline = Clock::now() + kPatience;
        while (closeCodeIn(all) == 0 && Clock::now() < deadline) {
            char chunk[4096];
            const ssize_t n = ::recv(socket.native_handle(), chunk, sizeof chunk, 0);
            if (n == 0 || (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK)) {
                break;
            }
            all.append(chunk, n > 0 ? static_cast<std::size_t>(n) : 0);
        }
        return closeCodeIn(all);
    }

    static std::string maskedFrame(unsigned char first, std::string_view payload = {}) {
        std::string frame{static_cast<char>(first), static_cast<char>(0x80 | payload.size())};
        frame += std::string(4, '\0');  // a mask of zeros leaves the payload as it is
        return frame += payload;
    }

    static std::filesystem::path makeSite() {
        const auto root =
            std::filesystem::temp_directory_path() / ("voltaro-site-" + std::to_string(::getpid()));
        std::filesystem::create_directories(root / "site" / "fonts");
        std::filesystem::create_directories(root / "site" / "empty");
        std::ofstream(root / "site" / "index.html") << "<!doctype html><title>page</title>";
        std::ofstream(root / "site" / "voltaro.wasm") << "\0asm";
        std::ofstream(root / "site" / "fonts" / "face.otf") << "OTTO";
        std::ofstream(root / "secret.txt") << "not for the web";
        std::filesystem::create_symlink(root / "secret.txt", root / "site" / "escape.txt");
        return root / "site";
    }

    void TearDown() override { std::filesystem::remove_all(site_.parent_path()); }

    std::filesystem::path site_ = makeSite();
    asio::io_context io_;
    std::optional<ServerProcess> server_;
    tcp::endpoint endpoint_;
};

TEST_F(ServerDefences, ServesThePagesFilesWithTheirTypesAndNothingElse) {
    start();
    EXPECT_EQ(get("/").type, "text/html; charset=utf-8");
    EXPECT_EQ(get("/").body, "<!doctype html><title>page</title>");
    EXPECT_EQ(get("/voltaro.wasm").type, "application/wasm");
    EXPECT_EQ(get("/fonts/face.otf?v=1").type, "font/otf");
    EXPECT_EQ(get("/index.html", http::verb::head).status, 200u);
    EXPECT_EQ(get("/index.html", http::verb::post).status, 405u);
    for (const char* outside :
         {"/../secret.txt", "/fonts/../../secret.txt", "/%2e%2e/secret.txt", "/%2E%2E%2Fsecret.txt",
          "/fonts/..%2f..%2fsecret.txt", "/escape.txt", "/empty/", "/fonts/", "/index.html%00.png",
          "/%zz", "secret.txt"}) {
        const Reply reply = get(outside);
        EXPECT_EQ(reply.status, 404u) << outside;
        EXPECT_EQ(reply.body.find("not for the web"), std::string::npos) << outside;
    }
}

TEST_F(ServerDefences, OnlyPagesOfTheServersOwnOriginOrGivenOnesMayConnect) {
    start({"--origin", "https://voltaro.example.org"});
    const std::string own = "http://127.0.0.1:" + std::to_string(server_->port());
    EXPECT_TRUE(connect({.origin = own})->connected());
    EXPECT_TRUE(connect({.origin = "https://voltaro.example.org"})->connected());
    EXPECT_TRUE(connect()->connected()) << "a program, not a page: no Origin";
    for (const char* other : {"http://evil.example", "null", "https://voltaro.example.org.evil"}) {
        const auto refused = connect({.origin = other});
        EXPECT_FALSE(refused->connected()) << other;
        EXPECT_EQ(refused->refusedWith(), 403u) << other;
    }
    EXPECT_EQ(connect({.target = "/elsewhere", .origin = std::nullopt})->refusedWith(), 404u);
}

TEST_F(ServerDefences, MessagesOverTheSizeOrRateOrInBinaryCloseTheirConnection) {
    start({"--max-rate", "20"});
    const auto tooLong = connect();
    tooLong->send(std::string(513, 'x'));
    EXPECT_EQ(closeCode(*tooLong), 1009u);

    const auto binary = connect();
    binary->sendBinary("\x01\x02");
    EXPECT_EQ(closeCode(*binary), 1003u);

    // Messages the lobby takes quietly, so that only their number counts.
    const std::string hello = online::write(online::ClientMessage{online::client::Hello{}});
    const std::string harmless = online::write(online::ClientMessage{online::client::FocusLost{}});
    const auto flood = connect();
    flood->send(hello);
    for (int i = 0; i < 60; ++i) {
        flood->send(harmless);
    }
    EXPECT_EQ(closeCode(*flood), 1008u);
    EXPECT_EQ(flood->closeReason()->reason, "Too many messages");

    // A connection within every limit stays open.
    const auto calm = connect();
    calm->send(hello);
    calm->send(harmless);
    EXPECT_FALSE(runUntil(
        io_, [&] { return calm->ended(); }, 300ms));
}

TEST_F(ServerDefences, OneAddressGetsOnlyItsShareOfConnections) {
    // No proxy trusted: the peer's own address counts, whatever its headers say.
    start({"--max-per-address", "3", "--trusted-proxy", "none"});
    std::vector<std::shared_ptr<WsClient>> open;
    for (int i = 0; i < 3; ++i) {
        open.push_back(connect());
        ASSERT_TRUE(open.back()->connected());
    }
    EXPECT_FALSE(connect()->connected());
    EXPECT_FALSE(connect({.headers = {{"X-Forwarded-For", "203.0.113.5"}}})->connected());
    open.front()->close();
    runUntil(
        io_, [&] { return open.front()->ended(); }, kPatience);
    // The slot comes back once the server has seen the close.
    bool again = false;
    runUntil(
        io_, [&] { return again = connect()->connected(); }, kPatience);
    EXPECT_TRUE(again);
}

// A browser opens up to six connections for the page's files, and one address may be a
// household or a school behind one router: by default, six browsers and their matches fit.
TEST_F(ServerDefences, OneAddressHoldsSeveralBrowsersByDefault) {
    start();
    std::vector<std::shared_ptr<WsClient>> open;
    for (int i = 0; i < 6 * 7; ++i) {
        open.push_back(connect());
        ASSERT_TRUE(open.back()->connected()) << "connection " << i + 1;
    }
}

TEST_F(ServerDefences, SlowHeadersAndSilentPeersAreCutOff) {
    start({"--timeout", "1"});
    tcp::socket slow(io_);
    slow.connect(endpoint_);
    asio::write(slow, asio::buffer(std::string("GET / HTTP/1.1\r\nHost: 127.0.0.1\r\n")));
    EXPECT_TRUE(readUntilClosed(slow).has_value()) << "the headers never end";

    tcp::socket silent = rawWebSocket();
    const auto sent = readUntilClosed(silent);
    ASSERT_TRUE(sent.has_value()) << "a peer that answers no ping";
    EXPECT_NE(sent->find('\x89'), std::string::npos) << "it was pinged first";
}

TEST_F(ServerDefences, BrokenFramesCloseTheConnectionWithAProtocolError) {
    start();
    tcp::socket broken = rawWebSocket();
    // A text frame without the mask every client frame must carry.
    asio::write(broken, asio::buffer(std::string("\x81\x02hi", 4)));
    const auto sent = readUntilClosed(broken);
    ASSERT_TRUE(sent.has_value());
    EXPECT_EQ(closeCodeIn(*sent), 1002u);
}

TEST_F(ServerDefences, EveryFrameCountsAgainstTheRatePingsAndEmptyFragmentsToo) {
    start({"--max-rate", "20"});
    tcp::socket pinger = rawWebSocket();
    std::string pings;
    for (int i = 0; i < 100; ++i) {
        pings += maskedFrame(0x89);
    }
    asio::write(pinger, asio::buffer(pings));
    EXPECT_EQ(closeFrameCode(pinger), 1008u) << "100 pings at once were all answered";

    tcp::socket fragments = rawWebSocket();
    std::string endless = maskedFrame(0x01);  // a text message's first part, empty
    for (int i = 0; i < 100; ++i) {
        endless += maskedFrame(0x00);  // and more empty parts, none the last
    }
    asio::write(fragments, asio::buffer(endless));
    EXPECT_EQ(closeFrameCode(fragments), 1008u) << "a message of empty parts that never ends";
}

TEST_F(ServerDefences, RequestsWithBodiesAreRefusedAndAnEndlessOneCostsNoMemory) {
    start();
    tcp::socket withBody(io_);
    withBody.connect(endpoint_);
    asio::write(withBody,
                asio::buffer(std::string(
                    "GET / HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Length: 5\r\n\r\nhello")));
    EXPECT_TRUE(readUntilClosed(withBody).value_or("").starts_with("HTTP/1.1 400"));

    const long before = residentKiB();
    tcp::socket endless(io_);
    endless.connect(endpoint_);
    const std::string head =
        "POST / HTTP/1.1\r\nHost: 127.0.0.1\r\nTransfer-Encoding: chunked\r\n\r\n";
    ::send(endless.native_handle(), head.data(), head.size(), MSG_NOSIGNAL);
    // A chunk's size line that never ends.
    const std::string digits(64 * 1024, 'f');
    std::size_t sent = 0;
    bool closed = false;
    while (sent < 50u * 1024 * 1024 && !closed) {
        const ssize_t n =
            ::send(endless.native_handle(), digits.data(), digits.size(), MSG_NOSIGNAL);
        closed = n < 0;
        sent += n > 0 ? static_cast<std::size_t>(n) : 0;
    }
    EXPECT_TRUE(closed) << "the server read all " << sent << " bytes";
    EXPECT_LT(residentKiB() - before, 4 * 1024) << "KiB grown";
}

TEST_F(ServerDefences, OnlyHostNamesTheServerAnswersToAreServed) {
    start({"--name", "play.example.org"});
    const std::string port = ":" + std::to_string(server_->port());
    // A page of another site whose name now points at this server: Host and Origin agree.
    const auto rebound = connect({.origin = "http://evil.test" + port, .host = "evil.test" + port});
    EXPECT_EQ(rebound->refusedWith(), 421u);
    EXPECT_EQ(get("/", {.host = "evil.test" + port}).status, 421u);
    EXPECT_TRUE(
        connect({.origin = "http://localhost" + port, .host = "localhost" + port})->connected());
    EXPECT_TRUE(
        connect({.origin = "https://play.example.org", .host = "play.example.org"})->connected());
    EXPECT_EQ(get("/", {.host = "[::1]" + port}).status, 200u);
}

TEST_F(ServerDefences, BehindAProxyEveryLimitCountsTheClientItNames) {
    start({"--max-per-address", "2", "--max-new-rate", "1"});
    const auto from = [&](std::string forwarded) {
        return connect({.headers = {{"X-Forwarded-For", std::move(forwarded)}}});
    };
    std::vector<std::shared_ptr<WsClient>> open{from("203.0.113.5"), from("203.0.113.5")};
    EXPECT_EQ(from("203.0.113.5")->refusedWith(), 429u);
    // What is left of the proxy's own entry is the client's word, forged or not.
    open.push_back(from("203.0.113.5, 203.0.113.6"));
    EXPECT_EQ(from("203.0.113.6, 203.0.113.5")->refusedWith(), 429u);
    // One /64 is one person.
    open.push_back(from("2001:db8::1"));
    open.push_back(from("2001:db8::2"));
    EXPECT_EQ(from("2001:db8::3")->refusedWith(), 429u);
    open.push_back(from("2001:db8:0:1::1"));
    for (const auto& client : open) {
        EXPECT_TRUE(client->connected());
    }
    // New connections: five seconds' worth at once at one a second, each client its own.
    const auto page = [&](const char* client) {
        return get("/", {.headers = {{"X-Forwarded-For", client}}}).status;
    };
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(page("198.51.100.7"), 200u) << i;
    }
    EXPECT_EQ(page("198.51.100.7"), 429u);
    EXPECT_EQ(page("198.51.100.8"), 200u);
}

TEST_F(ServerDefences, ConnectionsStayBelowTheDescriptorLimitAndAcceptingGoesOn) {
    // 128 descriptors: room for 96 connections, the rest the server's own.
    start({"--max-per-address", "0", "--max-new-rate", "0"}, 128);
    std::vector<tcp::socket> held;
    std::vector<pollfd> watched;
    for (int i = 0; i < 120; ++i) {
        held.emplace_back(io_).connect(endpoint_);
        watched.push_back({held.back().native_handle(), POLLIN, 0});
    }
    std::size_t closed = 0;
    const auto deadline = Clock::now() + kPatience;
    while (closed < 24 && Clock::now() < deadline) {
        ::poll(watched.data(), watched.size(), 100);
        closed = static_cast<std::size_t>(std::count_if(
            watched.begin(), watched.end(), [](const pollfd& p) { return p.revents != 0; }));
    }
    EXPECT_EQ(closed, 24u) << "those past the cap are closed at once, the others held";
    EXPECT_NE(server_->errors().find("refused (connection_cap)"), std::string::npos);
    held.clear();
    unsigned status = 0;
    for (int i = 0; i < 100 && status == 0; ++i) {
        status = get("/").status;
    }
    EXPECT_EQ(status, 200u) << "the server accepts again once connections have gone";
}

// The figures are on a port of their own, never the public one, and count each refusal by its
// reason as it happens; the journal gets a line for it.
TEST_F(ServerDefences, TheOperatorsPortCountsWhatTheServerRefused) {
    start({"--metrics", "127.0.0.1:0", "--max-rate", "20"});
    ASSERT_NE(server_->metricsPort(), 0u);
    const tcp::endpoint metrics(asio::ip::make_address("127.0.0.1"), server_->metricsPort());
    const Reply health = getFrom(metrics, "/healthz");
    EXPECT_EQ(health.status, 200u);
    EXPECT_EQ(health.body, "ok\n");
    for (const char* elsewhere : {"/", "/metrics/", "/ws"}) {
        EXPECT_EQ(getFrom(metrics, elsewhere).status, 404u) << elsewhere;
    }
    EXPECT_EQ(getFrom(metrics, "/metrics", Request{.method = http::verb::post}).status, 404u);
    EXPECT_EQ(get("/metrics").status, 404u) << "not on the public port";

    EXPECT_EQ(connect({.origin = "http://evil.example"})->refusedWith(), 403u);
    const auto binary = connect();
    binary->sendBinary("\x01");
    EXPECT_EQ(closeCode(*binary), 1003u);
    const auto flood = connect();
    flood->send(online::write(online::ClientMessage{online::client::Hello{}}));
    for (int i = 0; i < 60; ++i) {
        flood->send(online::write(online::ClientMessage{online::client::FocusLost{}}));
    }
    EXPECT_EQ(closeCode(*flood), 1008u);

    const Reply figures = getFrom(metrics, "/metrics");
    EXPECT_EQ(figures.status, 200u);
    EXPECT_EQ(figures.type, "text/plain; version=0.0.4; charset=utf-8");
    for (const char* line : {"voltaro_refusals_total{reason=\"origin\"} 1\n",
                             "voltaro_refusals_total{reason=\"malformed\"} 1\n",
                             "voltaro_refusals_total{reason=\"message_rate\"} 1\n",
                             "voltaro_refusals_total{reason=\"per_address\"} 0\n",
                             "voltaro_rooms 0\n", "voltaro_tick_lateness_seconds_count "}) {
        EXPECT_NE(figures.body.find(line), std::string::npos) << line << figures.body;
    }
    EXPECT_NE(server_->errors().find("refused (origin) 127.0.0.1"), std::string::npos)
        << server_->errors();
}

}  // namespace
}  // namespace voltaro::server::testing
