// The shipped nginx configuration, on loopback: nginx terminates TLS in front of two server
// processes with different room code prefixes, serves the page, and carries a match to each
// process by the room code in the URL; and in front of the one process the shipped systemd unit
// starts, it carries many players, each counted as themselves.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <boost/asio/ssl.hpp>
// Asio's TLS code, compiled here: this is the one program that uses it.
#include <boost/asio/ssl/impl/src.hpp>
#include <boost/beast/http.hpp>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "http_request.h"
#include "match_client.h"
#include "server_process.h"

namespace voltaro::server::testing {
namespace {

namespace asio = boost::asio;
namespace ssl = boost::asio::ssl;
using tcp = asio::ip::tcp;
using namespace std::chrono_literals;
namespace msg = online::server;

constexpr auto kPatience = 10s;
constexpr auto kMatchPatience = 60s;

unsigned short freePort(asio::io_context& io) {
    tcp::acceptor probe(io, tcp::endpoint(asio::ip::make_address("127.0.0.1"), 0));
    return probe.local_endpoint().port();
}

// Plain connections in, TLS to nginx out: the tests' WebSocket client speaks wss:// through it.
class TlsRelay {
  public:
    TlsRelay(asio::io_context& io, unsigned short nginx)
        : io_(io), acceptor_(io, {asio::ip::make_address("127.0.0.1"), 0}), nginx_(nginx) {
        context_.set_verify_mode(ssl::verify_none);  // the test's own self-signed certificate
        acceptNext();
    }
    tcp::endpoint endpoint() const { return acceptor_.local_endpoint(); }

  private:
    struct Pair {
        tcp::socket plain;
        ssl::stream<tcp::socket> secure;
        std::array<char, 16384> up{}, down{};
    };

    void acceptNext() {
        acceptor_.async_accept([this](boost::system::error_code error, tcp::socket plain) {
            if (error) {
                return;
            }
            auto pair = std::make_shared<Pair>(Pair{std::move(plain), {io_, context_}});
            // From the client's own address: nginx sees, and names, each client apart.
            auto& out = pair->secure.next_layer();
            out.open(tcp::v4());
            out.bind({pair->plain.remote_endpoint().address(), 0});
            out.connect({asio::ip::make_address("127.0.0.1"), nginx_});
            pair->secure.handshake(ssl::stream_base::client);
            pump(pair, pair->plain, pair->secure, pair->up);
            pump(pair, pair->secure, pair->plain, pair->down);
            acceptNext();
        });
    }

    template <typename From, typename To>
    static void pump(std::shared_ptr<Pair> pair, From& from, To& to,
                     std::array<char, 16384>& buffer) {
        from.async_read_some(
            asio::buffer(buffer),
            [pair, &from, &to, &buffer](boost::system::error_code error, std::size_t n) {
                if (error) {
                    boost::system::error_code ignored;
                    pair->plain.close(ignored);
                    pair->secure.next_layer().close(ignored);
                    return;
                }
                asio::async_write(
                    to, asio::buffer(buffer, n),
                    [pair, &from, &to, &buffer](boost::system::error_code error, std::size_t) {
                        if (!error) {
                            pump(pair, from, to, buffer);
                        }
                    });
            });
    }

    asio::io_context& io_;
    ssl::context context_{ssl::context::tls_client};
    tcp::acceptor acceptor_;
    unsigned short nginx_;
};

// The arguments of the shipped unit's ExecStart line, after the program, with its port and
// records folder the test's own.
std::vector<std::string> unitArguments(const std::filesystem::path& records) {
    std::ifstream unit(VOLTARO_UNIT);
    std::string line;
    while (std::getline(unit, line) && !line.starts_with("ExecStart=")) {
    }
    std::istringstream words(line.substr(line.find('=') + 1));
    std::vector<std::string> args;
    for (std::string word; words >> word;) {
        args.push_back(word);
    }
    EXPECT_GE(args.size(), 1u) << "no ExecStart in " << VOLTARO_UNIT;
    args.erase(args.begin());
    for (std::size_t i = 0; i + 1 < args.size(); ++i) {
        if (args[i] == "--listen") {
            args[i + 1] = "127.0.0.1:0";
        } else if (args[i] == "--records") {
            args[i + 1] = records.string();
        }
    }
    return args;
}

class BehindNginx : public ::testing::Test {
  protected:
    void SetUp() override {
        std::filesystem::create_directories(dir_ / "site");
        std::ofstream(dir_ / "site" / "index.html") << "<title>through nginx</title>";
        // The build's compressed copy, with contents of its own so that the body says which
        // one was sent.
        std::ofstream(dir_ / "site" / "index.html.gz") << "gzip copy";
        // Started as the manual page says: a prefix each, and nothing for the proxy.
        for (const char* prefix : {"A", "B"}) {
            const auto records = dir_ / (std::string("records-") + prefix);
            std::filesystem::create_directories(records);
            servers_.emplace_back(std::make_unique<ServerProcess>(
                VOLTARO_SERVER,
                std::vector<std::string>{"--code-prefix", prefix, "--site",
                                         (dir_ / "site").string(), "--records", records.string()}));
        }
        startNginx(servers_[0]->port(), servers_[1]->port());
    }

    // nginx in front of the processes at `a` and `b` (the same port for one process).
    void startNginx(unsigned short a, unsigned short b) {
        if (nginx_ > 0) {
            kill(nginx_, SIGTERM);
            waitpid(nginx_, nullptr, 0);
        }
        nginxPort_ = freePort(io_);
        const auto number = [](auto port) { return std::to_string(port); };
        std::vector<std::string> args{VOLTARO_NGINX_ON_LOOPBACK,
                                      (dir_ / "nginx").string(),
                                      number(nginxPort_),
                                      number(freePort(io_)),
                                      number(a),
                                      number(b),
                                      (dir_ / "site").string()};
        nginx_ = fork();
        if (nginx_ == 0) {
            std::vector<char*> argv;
            for (std::string& arg : args) {
                argv.push_back(arg.data());
            }
            argv.push_back(nullptr);
            execv(argv[0], argv.data());
            _exit(127);
        }
        ASSERT_TRUE(runUntil(
            io_, [&] { return listening(); }, kPatience))
            << "nginx did not start (scripts/install-deps test): " << errors();
        relay_.reset();
        relay_.emplace(io_, nginxPort_);
    }

    void TearDown() override {
        if (nginx_ > 0) {
            kill(nginx_, SIGTERM);
            waitpid(nginx_, nullptr, 0);
        }
        std::filesystem::remove_all(dir_);
    }

    bool listening() {
        tcp::socket probe(io_);
        boost::system::error_code error;
        probe.connect({asio::ip::make_address("127.0.0.1"), nginxPort_}, error);
        return !error;
    }

    std::string errors() const {
        std::ifstream log(dir_ / "nginx" / "error.log");
        std::stringstream text;
        text << log.rdbuf();
        return text.str();
    }

    // One GET of the page (or of `target`) through nginx with the given header fields.
    HttpReply page(const std::map<std::string, std::string>& fields = {},
                   const std::string& target = "/") {
        const auto answer =
            httpRequest(io_, relay_->endpoint(),
                        {.target = target, .fields = fields, .keepAlive = false}, kPatience);
        EXPECT_TRUE(answer) << errors();
        return answer.value_or(HttpReply{});
    }

    std::unique_ptr<MatchClient> greeted(const std::string& target,
                                         std::optional<std::string> origin = {}) {
        auto client = std::make_unique<MatchClient>(io_, relay_->endpoint(),
                                                    WsClientOptions{target, std::move(origin)});
        EXPECT_TRUE(client->connected(kPatience)) << errors();
        client->send(online::client::Hello{});
        EXPECT_TRUE(client->next<msg::Welcome>(kPatience));
        return client;
    }

    std::filesystem::path dir_ =
        std::filesystem::temp_directory_path() / ("voltaro-nginx-" + std::to_string(::getpid()));
    asio::io_context io_;
    std::vector<std::unique_ptr<ServerProcess>> servers_;
    unsigned short nginxPort_ = 0;
    pid_t nginx_ = -1;
    std::optional<TlsRelay> relay_;
};

TEST_F(BehindNginx, ServesThePageAndCarriesEachRoomToTheProcessThatHoldsIt) {
    const auto plain = page();
    EXPECT_EQ(plain.result_int(), 200u);
    EXPECT_EQ(plain.body(), "<title>through nginx</title>");
    EXPECT_EQ(plain[boost::beast::http::field::content_type], "text/html; charset=utf-8");

    // The compressed copy to a browser that takes it, validators, and the page's headers.
    const auto compressed = page({{"Accept-Encoding", "gzip, deflate, br"}});
    EXPECT_EQ(compressed.body(), "gzip copy");
    EXPECT_EQ(compressed["Content-Encoding"], "gzip");
    EXPECT_EQ(compressed["Vary"], "Accept-Encoding");
    const std::string policy(compressed["Content-Security-Policy"]);
    EXPECT_NE(policy.find("frame-ancestors 'none'"), std::string::npos) << policy;
    EXPECT_NE(policy.find("'wasm-unsafe-eval'"), std::string::npos) << policy;
    EXPECT_EQ(compressed["X-Content-Type-Options"], "nosniff");
    EXPECT_EQ(compressed["Referrer-Policy"], "no-referrer");
    EXPECT_NE(compressed["Strict-Transport-Security"].find("max-age="), std::string::npos);
    const std::string tag(compressed["ETag"]);
    ASSERT_FALSE(tag.empty());
    EXPECT_EQ(page({{"Accept-Encoding", "gzip"}, {"If-None-Match", tag}}).result_int(), 304u);
    const std::string modified(plain["Last-Modified"]);
    EXPECT_EQ(page({{"If-Modified-Since", modified}}).result_int(), 304u);

    // New rooms go to either process; open rooms until there is one on each (each try is an
    // even chance, so 24 tries all but never fall short). Every room here is one person's, who
    // holds only a few rooms a process: a second room on a process is left at once, not
    // dropped, since a dropped room lingers and still counts.
    std::map<char, std::unique_ptr<MatchClient>> creators;
    std::map<char, std::string> codes;
    for (int attempt = 0; attempt < 24 && creators.size() < 2; ++attempt) {
        auto red = greeted("/ws");
        red->send(online::client::Create{});
        const auto seated = red->next<msg::Seated>(kPatience);
        ASSERT_TRUE(seated) << "try " << attempt << ": " << errors();
        const char prefix = seated->code.front();
        if (!creators.contains(prefix)) {
            codes[prefix] = seated->code;
            creators[prefix] = std::move(red);
        } else {
            // The pong says that the process has read the leave before it.
            red->send(online::client::Leave{});
            red->send(online::client::Ping{});
            ASSERT_TRUE(red->next<msg::Pong>(kPatience));
        }
    }
    ASSERT_EQ(creators.size(), 2u);
    std::map<char, std::unique_ptr<MatchClient>> joiners;
    for (auto& [prefix, red] : creators) {
        // Any case: the code is typed by a person. The page's origin is the proxy's address.
        std::string typed = codes[prefix];
        std::transform(typed.begin(), typed.end(), typed.begin(), ::tolower);
        auto blue = greeted("/ws?room=" + typed,
                            "https://127.0.0.1:" + std::to_string(relay_->endpoint().port()));
        blue->send(online::client::Join{typed});
        const auto seated = blue->next<msg::Seated>(kPatience);
        ASSERT_TRUE(seated) << "room " << codes[prefix] << " was not found where nginx sent blue";
        EXPECT_EQ(seated->seat, online::Seat::Blue);
        ASSERT_TRUE(red->next<msg::MatchStarted>(kPatience));
        ASSERT_TRUE(bringBallIntoPlay(*red, kPatience));
        joiners[prefix] = std::move(blue);
    }
    // Both matches run at once; each is played out in turn.
    for (auto& [prefix, red] : creators) {
        const PlayedMatch played = playToTheEnd(*red, *joiners[prefix], kMatchPatience);
        ASSERT_TRUE(played.redEnd && played.blueEnd) << "room " << codes[prefix];
        EXPECT_EQ(played.redEnd->scene, played.blueEnd->scene);
        // Both ran the match from what came through the proxy, to the server's digests.
        EXPECT_TRUE(red->followed().everyFinalAgreed()) << "room " << codes[prefix];
        EXPECT_TRUE(joiners[prefix]->followed().everyFinalAgreed()) << "room " << codes[prefix];
    }

    // Each match's replay, by the id its players were given, from the process that recorded
    // it; an id of no process's is nobody's.
    for (auto& [prefix, red] : creators) {
        const auto replay = red->next<msg::Replay>(kPatience);
        ASSERT_TRUE(replay) << "room " << codes[prefix];
        EXPECT_EQ(replay->id.front(), prefix);
        const auto served = page({}, "/replay/" + replay->id);
        EXPECT_EQ(served.result_int(), 200u) << replay->id;
        EXPECT_TRUE(served.body().starts_with("# voltaro match record: match 1 of its room\n"));
        EXPECT_EQ(served.body().find(codes[prefix]), std::string::npos);  // nor the way in
        EXPECT_EQ(served[boost::beast::http::field::cache_control], "no-store");
        EXPECT_EQ(page({}, "/replay/Z" + replay->id.substr(1)).result_int(), 404u);
        // A path that only names the replay once cleaned up is not passed on either.
        EXPECT_EQ(page({}, "/x/../replay/" + replay->id).result_int(), 404u);
    }
}

// Quick matches behind two processes: every queue connection reaches the same one, so each two
// who wait meet (split between the processes, four waiting could all wait for ever in pairs of
// processes). The pair's room is found by its code like any other: a spectator's watch reaches
// it, and the players hear of their audience.
TEST_F(BehindNginx, EveryoneWhoAsksForAQuickMatchWaitsInTheSameQueue) {
    std::vector<std::unique_ptr<MatchClient>> waiting;
    std::string code;
    for (int i = 0; i < 6; ++i) {
        auto client = greeted("/ws?queue=1");
        client->send(online::client::QuickMatch{});
        ASSERT_TRUE(client->next<msg::Queued>(kPatience)) << "client " << i + 1;
        waiting.push_back(std::move(client));
    }
    for (std::size_t i = 0; i < waiting.size(); i += 2) {
        const auto red = waiting[i]->next<msg::Seated>(kPatience);
        const auto blue = waiting[i + 1]->next<msg::Seated>(kPatience);
        ASSERT_TRUE(red && blue) << "pair " << i / 2 + 1 << " never met: " << errors();
        EXPECT_EQ(red->seat, online::Seat::Red);
        EXPECT_EQ(blue->seat, online::Seat::Blue);
        EXPECT_EQ(red->code, blue->code);
        EXPECT_EQ(red->code.front(), 'A');
        ASSERT_TRUE(waiting[i + 1]->next<msg::MatchStarted>(kPatience));
        code = red->code;
    }
    auto watcher = greeted("/ws?room=" + code);
    watcher->send(online::client::Watch{code});
    const auto seated = watcher->next<msg::Seated>(kPatience);
    ASSERT_TRUE(seated) << errors();
    EXPECT_EQ(seated->seat, online::Seat::Spectator);
    const auto count = waiting[4]->next<msg::Watchers>(kPatience);
    ASSERT_TRUE(count);
    EXPECT_EQ(count->count, 1u);
}

}  // namespace
}  // namespace voltaro::server::testing

namespace voltaro::server::testing {
namespace {

// The unit's server on loopback behind the shipped configuration, as the README sets it up for
// one process: nginx connects from 127.0.0.1 for every player, and each player must still count
// as themselves. 40 players from 40 addresses, where one address may hold 16.
TEST_F(BehindNginx, TheUnitsServerHoldsFortyPlayersThroughTheProxy) {
    ServerProcess unit(VOLTARO_SERVER, unitArguments(dir_ / "records"));
    startNginx(unit.port(), unit.port());
    std::vector<std::unique_ptr<MatchClient>> players;
    for (int i = 0; i < 40; ++i) {
        WsClientOptions options;
        options.source = asio::ip::make_address("127.0.0." + std::to_string(10 + i));
        auto player = std::make_unique<MatchClient>(io_, relay_->endpoint(), options);
        ASSERT_TRUE(player->connected(kPatience)) << "player " << i + 1 << ": " << errors();
        player->send(online::client::Hello{});
        ASSERT_TRUE(player->next<msg::Welcome>(kPatience)) << "player " << i + 1;
        players.push_back(std::move(player));
    }
    // Every one of them is in a room, and still there once the last has come.
    for (std::size_t i = 0; i < players.size(); ++i) {
        players[i]->send(online::client::Create{});
        ASSERT_TRUE(players[i]->next<msg::Seated>(kPatience)) << "player " << i + 1;
    }
    for (const auto& player : players) {
        EXPECT_FALSE(player->socket().ended());
    }
}

}  // namespace
}  // namespace voltaro::server::testing
