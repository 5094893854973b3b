#include "hostile_mix.h"

#include <boost/asio/steady_timer.hpp>
#include <boost/asio/write.hpp>
#include <functional>
#include <random>
#include <utility>

#include "online/protocol.h"
#include "ws_client.h"

namespace voltaro::bench {

namespace asio = boost::asio;
using tcp = asio::ip::tcp;
using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;
using server::testing::WsClient;

namespace {

// A client frame (masked, as every client frame must be) with a zero mask: the payload as is.
std::string clientFrame(unsigned char opcode, std::string_view payload) {
    std::string frame(1, static_cast<char>(0x80 | opcode));
    if (payload.size() < 126) {
        frame += static_cast<char>(0x80 | payload.size());
    } else {
        frame += static_cast<char>(0x80 | 126);
        frame += static_cast<char>(payload.size() >> 8);
        frame += static_cast<char>(payload.size() & 0xff);
    }
    frame.append(4, '\0');
    frame.append(payload);
    return frame;
}

std::string text(const online::ClientMessage& message) {
    return clientFrame(0x1, online::write(message));
}

constexpr std::string_view kHandshake =
    "GET /ws HTTP/1.1\r\nHost: 127.0.0.1\r\nUpgrade: websocket\r\nConnection: Upgrade\r\n"
    "Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\nSec-WebSocket-Version: 13\r\n\r\n";

asio::ip::address hostileAddress(int kind, int which) {
    return asio::ip::make_address_v4(asio::ip::address_v4::bytes_type{
        127, 0, 0, static_cast<unsigned char>(2 + 2 * kind + which)});
}

}  // namespace

// One hostile peer: connects from its address, sends its opening, then its drip now and then,
// and reads what comes back (or, a slow reader, never does); closed, it connects again.
struct HostileMix::Peer : std::enable_shared_from_this<Peer> {
    struct Script {
        std::function<std::string()> opening;
        std::function<std::string()> drip;  // empty: none
        std::chrono::milliseconds every{0};
        bool reads = true;
        std::chrono::milliseconds lifetime{0};  // above 0: the peer drops the connection then
    };

    Peer(asio::io_context& io, tcp::endpoint server, asio::ip::address from, Script script,
         HostileTally& tally, Clock::time_point end)
        : socket(io),
          timer(io),
          server(server),
          from(from),
          script(std::move(script)),
          tally(tally),
          end(end) {}

    void connect() {
        if (Clock::now() >= end) {
            return;
        }
        boost::system::error_code error;
        socket = tcp::socket(socket.get_executor());
        socket.open(tcp::v4(), error);
        socket.bind({from, 0}, error);
        ++generation;
        ours = false;
        socket.async_connect(server, [self = shared_from_this(), g = generation](auto error) {
            self->connected(error, g);
        });
    }

    void connected(boost::system::error_code error, unsigned g) {
        if (g != generation) {
            return;
        }
        if (error) {
            ++tally.notConnected;
            again(200ms);
            return;
        }
        ++tally.connections;
        std::string opening = script.opening();
        // A WebSocket client waits for the answer to its handshake before it sends a frame
        // (the server drops frames that come with the request): those go with the first tick.
        const auto head = opening.find("\r\n\r\n");
        afterHandshake.clear();
        if (opening.starts_with("GET /ws ") && head + 4 < opening.size()) {
            afterHandshake = opening.substr(head + 4);
            opening.resize(head + 4);
        }
        send(opening);
        if (script.reads) {
            read(g);
        }
        born = Clock::now();
        rearm(g, afterHandshake.empty() ? 0ms : 50ms);
    }

    void send(std::string bytes) {
        if (writing) {
            return;  // the server is not reading: the next drip waits for the last
        }
        writing = true;
        auto data = std::make_shared<std::string>(std::move(bytes));
        asio::async_write(socket, asio::buffer(*data),
                          [self = shared_from_this(), data, g = generation](auto error, auto n) {
                              self->writing = false;
                              self->tally.bytesSent += n;
                              if (error && g == self->generation) {
                                  self->ended(g);
                              }
                          });
    }

    void read(unsigned g) {
        socket.async_read_some(asio::buffer(inbox),
                               [self = shared_from_this(), g](auto error, auto) {
                                   if (g != self->generation) {
                                       return;
                                   }
                                   if (error) {
                                       self->ended(g);
                                   } else {
                                       self->read(g);
                                   }
                               });
    }

    // The drip, the peer's own drop, and the end of the soak, on one timer.
    void tick(unsigned g) {
        const auto now = Clock::now();
        if (now >= end || (script.lifetime.count() > 0 && now - born >= script.lifetime)) {
            ours = true;
            ended(g);
            return;
        }
        if (!afterHandshake.empty()) {
            send(std::exchange(afterHandshake, {}));
        } else if (script.drip) {
            send(script.drip());
        }
        rearm(g, script.every.count() > 0 ? script.every : 100ms);
    }

    void rearm(unsigned g, std::chrono::milliseconds after) {
        timer.expires_after(after);
        timer.async_wait([self = shared_from_this(), g](auto error) {
            if (!error && g == self->generation) {
                self->tick(g);
            }
        });
    }

    void ended(unsigned g) {
        if (g != generation) {
            return;
        }
        ++generation;
        if (!ours) {
            ++tally.closedByServer;
        }
        boost::system::error_code ignored;
        socket.close(ignored);
        timer.cancel();
        again(ours ? 0ms : 100ms);
    }

    void again(std::chrono::milliseconds after) {
        timer.expires_after(after);
        timer.async_wait([self = shared_from_this()](auto error) {
            if (!error) {
                self->connect();
            }
        });
    }

    tcp::socket socket;
    asio::steady_timer timer;
    tcp::endpoint server;
    asio::ip::address from;
    Script script;
    HostileTally& tally;
    Clock::time_point end;
    Clock::time_point born{};
    std::string afterHandshake;
    unsigned generation = 0;
    bool writing = false;
    bool ours = false;
    char inbox[65536];
};

// Two players of a room of their own who hold every key down and never release one: the red one
// creates the room, the blue one joins it, and once the match starts both press key after key
// at a rate under the message limit. When either is closed, a new pair starts.
struct HostileMix::KeyHolder : std::enable_shared_from_this<KeyHolder> {
    KeyHolder(asio::io_context& io, tcp::endpoint server, asio::ip::address from,
              HostileTally& tally, Clock::time_point end)
        : io(io), timer(io), server(server), from(from), tally(tally), end(end) {}

    void start() {
        if (Clock::now() >= end) {
            return;
        }
        red = open();
        blue.reset();
        red->send(online::write(online::client::Create{}));
        nextKey = 1;
        playing = false;
        watch();
    }

    std::shared_ptr<WsClient> open() {
        auto client = std::make_shared<WsClient>(io);
        client->bindTo(from);
        client->connect(server, {.target = "/ws", .origin = std::nullopt});
        client->send(online::write(online::client::Hello{}));
        ++tally.connections;
        return client;
    }

    // Every 25 ms: follow the room, and press the next key once the match is on.
    void watch() {
        const bool over = Clock::now() >= end;
        if (over || red->ended() || (blue && blue->ended())) {
            tally.closedByServer += !over;
            red->close();
            if (blue) {
                blue->close();
            }
            if (!over) {
                timer.expires_after(500ms);
                timer.async_wait([self = shared_from_this()](auto error) {
                    if (!error) {
                        self->start();
                    }
                });
            }
            return;
        }
        follow();
        if (playing && nextKey <= 246) {
            // Stamped with a lie about the clock, far in the past and far in the future by turns:
            // the server's window takes either at a tick still open.
            const std::uint32_t tick = nextKey % 2 == 0 ? 0 : 0xffffffffu;
            const auto seq = static_cast<std::uint32_t>(nextKey);
            const online::ClientMessage down = online::client::KeyDown{nextKey++, tick, seq};
            const std::string sent = online::write(down);
            red->send(sent);
            blue->send(sent);
            tally.bytesSent += 2 * sent.size();
        }
        timer.expires_after(25ms);
        timer.async_wait([self = shared_from_this()](auto error) {
            if (!error) {
                self->watch();
            }
        });
    }

    void follow() {
        for (auto* client : {red.get(), blue.get()}) {
            while (client && !client->inbox.empty()) {
                std::string problem;
                const auto message = online::readServerMessage(client->inbox.front().text, problem);
                client->inbox.pop_front();
                if (!message) {
                    continue;
                }
                if (const auto* seated = std::get_if<online::server::Seated>(&*message);
                    seated && client == red.get() && !blue) {
                    blue = open();
                    blue->send(online::write(online::client::Join{seated->code}));
                } else if (std::holds_alternative<online::server::MatchStarted>(*message)) {
                    playing = true;
                }
            }
        }
    }

    asio::io_context& io;
    asio::steady_timer timer;
    tcp::endpoint server;
    asio::ip::address from;
    HostileTally& tally;
    Clock::time_point end;
    std::shared_ptr<WsClient> red, blue;
    std::int16_t nextKey = 1;
    bool playing = false;
};

HostileMix::HostileMix(asio::io_context& io, const tcp::endpoint& server, int peers,
                       std::vector<std::string> codes, Clock::time_point end)
    : io_(io), server_(server), peers_(peers), codes_(std::move(codes)), end_(end) {}

HostileMix::~HostileMix() = default;

void HostileMix::start() {
    auto random = std::make_shared<std::mt19937>(4242);
    const auto randomCode = [random] {
        static constexpr char kLetters[] = "ABCDEFGHJKMNPQRSTUVWXYZ23456789";
        std::string code;
        for (int i = 0; i < 6; ++i) {
            code += kLetters[(*random)() % (sizeof kLetters - 1)];
        }
        return code;
    };
    const std::string pings = [] {
        std::string frames;
        for (int i = 0; i < 50; ++i) {
            frames += clientFrame(0x9, "");
        }
        return frames;
    }();
    const auto watched = [this, random] {
        return codes_.empty() ? std::string("AAAAAA") : codes_[(*random)() % codes_.size()];
    };
    using Script = Peer::Script;
    const auto script = [](std::function<std::string()> opening, std::function<std::string()> drip,
                           std::chrono::milliseconds every) {
        Script made;
        made.opening = std::move(opening);
        made.drip = std::move(drip);
        made.every = every;
        return made;
    };
    const auto hello = [] { return std::string(kHandshake) + text(online::client::Hello{}); };
    Script flood = script([hello] { return hello() + text(online::client::Create{}); }, {}, 0ms);
    flood.lifetime = 100ms;
    Script slow =
        script([hello, watched] { return hello() + text(online::client::Watch{watched()}); },
               [] { return text(online::client::Ping{}); }, 500ms);
    slow.reads = false;
    const std::vector<std::pair<std::string, Script>> kinds{
        {"room_flooders", flood},
        {"code_guessers",
         script(
             hello, [randomCode] { return text(online::client::Join{randomCode()}); }, 25ms)},
        {"ping_flooders",
         script([] { return std::string(kHandshake); }, [pings] { return pings; }, 10ms)},
        {"slow_readers", slow},
        {"endless_chunked_requests", script(
                                         [] {
                                             return std::string(
                                                 "POST / HTTP/1.1\r\nHost: 127.0.0.1\r\n"
                                                 "Transfer-Encoding: chunked\r\n\r\n1;");
                                         },
                                         [] { return std::string(4096, 'x'); }, 10ms)},
    };
    for (std::size_t kind = 0; kind < kinds.size(); ++kind) {
        HostileTally& tally = tallies_[kinds[kind].first];
        for (int i = 0; i < peers_; ++i) {
            started_.push_back(std::make_shared<Peer>(io_, server_,
                                                      hostileAddress(static_cast<int>(kind), i % 2),
                                                      kinds[kind].second, tally, end_));
        }
    }
    // A byte of a header now and then, the headers never done: more of them than one address
    // may hold open.
    const int byteKind = static_cast<int>(kinds.size());
    HostileTally& bytes = tallies_["headers_a_byte_at_a_time"];
    for (int i = 0; i < 5 * peers_; ++i) {
        started_.push_back(std::make_shared<Peer>(
            io_, server_, hostileAddress(byteKind, 0),
            script([] { return std::string("GET / HTTP/1.1\r\nHost: 127.0.0.1\r\nX: "); },
                   [] { return std::string("x"); }, 200ms),
            bytes, end_));
    }
    for (const auto& peer : started_) {
        peer->connect();
    }
    HostileTally& keys = tallies_["held_key_floods"];
    for (int i = 0; i < peers_; ++i) {
        holders_.push_back(std::make_shared<KeyHolder>(
            io_, server_, hostileAddress(byteKind + 1, i % 2), keys, end_));
        holders_.back()->start();
    }
}

}  // namespace voltaro::bench
