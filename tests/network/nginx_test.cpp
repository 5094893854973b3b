// The shipped nginx configuration, on loopback: nginx terminates TLS in front of two server
// processes with different room code prefixes, serves the page, and carries a match to each
// process by the room code in the URL.
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

std::string replaced(std::string text, const std::string& from, const std::string& to) {
    const auto at = text.find(from);
    EXPECT_NE(at, std::string::npos) << "the shipped configuration has no '" << from << "'";
    return at == std::string::npos ? text : text.replace(at, from.size(), to);
}

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
            pair->secure.next_layer().connect({asio::ip::make_address("127.0.0.1"), nginx_});
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

class BehindNginx : public ::testing::Test {
  protected:
    void SetUp() override {
        std::filesystem::create_directories(dir_ / "site");
        std::ofstream(dir_ / "site" / "index.html") << "<title>through nginx</title>";
        ASSERT_EQ(
            std::system(("openssl req -x509 -newkey rsa:2048 -nodes -days 1 -subj /CN=localhost "
                         "-keyout '" +
                         (dir_ / "k.pem").string() + "' -out '" + (dir_ / "c.pem").string() +
                         "' 2>/dev/null")
                            .c_str()),
            0)
            << "openssl is needed: scripts/install-deps test";
        for (const char* prefix : {"A", "B"}) {
            servers_.emplace_back(std::make_unique<ServerProcess>(
                VOLTARO_SERVER,
                std::vector<std::string>{"--code-prefix", prefix, "--max-per-address", "0",
                                         "--site", (dir_ / "site").string()}));
        }
        nginxPort_ = freePort(io_);
        writeConfiguration();
        nginx_ = fork();
        if (nginx_ == 0) {
            const std::string prefix = dir_.string() + "/", conf = (dir_ / "nginx.conf").string();
            execlp("nginx", "nginx", "-p", prefix.c_str(), "-c", conf.c_str(), nullptr);
            _exit(127);
        }
        ASSERT_TRUE(runUntil(
            io_, [&] { return listening(); }, kPatience))
            << "nginx did not start: " << errors();
        relay_.emplace(io_, nginxPort_);
    }

    void TearDown() override {
        if (nginx_ > 0) {
            kill(nginx_, SIGTERM);
            waitpid(nginx_, nullptr, 0);
        }
        std::filesystem::remove_all(dir_);
    }

    // The shipped file with this test's ports, certificate and folders, inside a main
    // configuration of its own that keeps everything in the test's folder.
    void writeConfiguration() {
        std::ifstream shipped(VOLTARO_NGINX_CONF);
        std::stringstream text;
        text << shipped.rdbuf();
        std::string conf = text.str();
        const std::string a = "127.0.0.1:" + std::to_string(servers_[0]->port());
        const std::string b = "127.0.0.1:" + std::to_string(servers_[1]->port());
        conf = replaced(replaced(conf, "127.0.0.1:8001;\n}", a + ";\n}"), "127.0.0.1:8002;\n}",
                        b + ";\n}");
        conf =
            replaced(replaced(conf, "127.0.0.1:8001;\n    server 127.0.0.1:8002;",
                              a + ";\n    server " + b + ";"),
                     "listen 443 ssl;", "listen 127.0.0.1:" + std::to_string(nginxPort_) + " ssl;");
        conf =
            replaced(conf, "listen 80;", "listen 127.0.0.1:" + std::to_string(freePort(io_)) + ";");
        conf =
            replaced(replaced(conf, "    listen [::]:80;\n", ""), "    listen [::]:443 ssl;\n", "");
        conf = replaced(conf, "/etc/ssl/certs/voltaro.example.org.pem", (dir_ / "c.pem").string());
        conf =
            replaced(conf, "/etc/ssl/private/voltaro.example.org.key", (dir_ / "k.pem").string());
        std::ofstream(dir_ / "voltaro.conf") << conf;
        const std::string d = dir_.string();
        std::ofstream(dir_ / "nginx.conf")
            << "daemon off; pid " << d << "/nginx.pid; error_log " << d << "/error.log;\n"
            << "events {}\nhttp {\n  access_log off;\n"
            << "  client_body_temp_path " << d << "/cb; proxy_temp_path " << d << "/pt;\n"
            << "  fastcgi_temp_path " << d << "/ft; uwsgi_temp_path " << d << "/ut;\n"
            << "  scgi_temp_path " << d << "/st;\n  include " << d << "/voltaro.conf;\n}\n";
    }

    bool listening() {
        tcp::socket probe(io_);
        boost::system::error_code error;
        probe.connect({asio::ip::make_address("127.0.0.1"), nginxPort_}, error);
        return !error;
    }

    std::string errors() const {
        std::ifstream log(dir_ / "error.log");
        std::stringstream text;
        text << log.rdbuf();
        return text.str();
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
    namespace http = boost::beast::http;
    tcp::socket page(io_);
    page.connect(relay_->endpoint());
    http::request<http::empty_body> request(http::verb::get, "/", 11);
    request.set(http::field::host, "127.0.0.1");
    request.keep_alive(false);
    boost::beast::flat_buffer buffer;
    http::response<http::string_body> response;
    bool answered = false;
    http::async_write(page, request, [&](boost::system::error_code, std::size_t) {
        http::async_read(page, buffer, response,
                         [&](boost::system::error_code, std::size_t) { answered = true; });
    });
    ASSERT_TRUE(runUntil(
        io_, [&] { return answered; }, kPatience))
        << errors();
    EXPECT_EQ(response.result_int(), 200u);
    EXPECT_EQ(response.body(), "<title>through nginx</title>");

    // New rooms go to either process; open rooms until there is one on each (each try is an
    // even chance, so 24 tries all but never fall short).
    std::map<char, std::unique_ptr<MatchClient>> creators;
    std::map<char, std::string> codes;
    for (int attempt = 0; attempt < 24 && creators.size() < 2; ++attempt) {
        auto red = greeted("/ws");
        red->send(online::client::Create{});
        const auto seated = red->next<msg::Seated>(kPatience);
        ASSERT_TRUE(seated) << errors();
        const char prefix = seated->code.front();
        if (!creators.contains(prefix)) {
            codes[prefix] = seated->code;
            creators[prefix] = std::move(red);
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
    }
}

}  // namespace
}  // namespace voltaro::server::testing
