// GET /replay/ID on the real program: a record by its id and nothing else of the records'
// folder, whatever the path tries, within the folder's bound.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "http_request.h"
#include "server/core/random_source.h"
#include "server/core/room_code.h"
#include "server_process.h"

namespace voltaro::server::testing {
namespace {

namespace asio = boost::asio;
namespace fs = std::filesystem;
namespace http = boost::beast::http;
using namespace std::chrono_literals;

void writeFile(const fs::path& path, const std::string& text, std::chrono::hours age = {}) {
    std::ofstream(path) << text;
    fs::last_write_time(path, fs::file_time_type::clock::now() - age);
}

class ReplayRoute : public ::testing::Test {
  protected:
    ReplayRoute() { fs::create_directories(folder_); }
    ~ReplayRoute() override { fs::remove_all(folder_); }

    void start(std::vector<std::string> more = {}) {
        std::vector<std::string> args{"--records", folder_.string(), "--code-prefix", "B"};
        args.insert(args.end(), more.begin(), more.end());
        server_.emplace(VOLTARO_SERVER, args);
    }

    HttpReply get(const std::string& target, http::verb method = http::verb::get) {
        const auto reply = httpRequest(io_, {asio::ip::make_address("127.0.0.1"), server_->port()},
                                       {.target = target, .method = method}, 10s);
        EXPECT_TRUE(reply) << target;
        return reply.value_or(HttpReply{});
    }

    std::string newId() { return newReplayId(random_, "B"); }

    fs::path folder_ = fs::temp_directory_path() /
                       ("voltaro-replay-route-" + std::to_string(::getpid()) + "-" +
                        ::testing::UnitTest::GetInstance()->current_test_info()->name());
    SystemRandom random_;
    asio::io_context io_;
    std::optional<ServerProcess> server_;
};

// A record by its id, as text that no browser takes for anything else and no cache keeps; and
// for anything else in the folder, or any other path, "not found".
TEST_F(ReplayRoute, ServesARecordByItsIdAndNothingElseOfTheFolder) {
    const std::string id = newId();
    writeFile(folder_ / (id + ".replay"), "# tick 1\ntimer\n");
    // What else a records folder may hold: a record being written, another server's record,
    // a file of the operator's, a folder, and links out of it and within it.
    const std::string writing = newId();
    writeFile(folder_ / ("." + writing + ".replay.part"), "half");
    writeFile(folder_ / "notes.txt", "secret");
    const std::string other = newReplayId(random_, "A");
    writeFile(folder_ / (other + ".replay"), "# tick 1\n");
    const std::string folderId = newId();
    fs::create_directory(folder_ / (folderId + ".replay"));
    const std::string outside = newId();
    fs::create_symlink("/etc/passwd", folder_ / (outside + ".replay"));
    const std::string within = newId();
    fs::create_symlink(folder_ / (id + ".replay"), folder_ / (within + ".replay"));
    start();

    const HttpReply served = get("/replay/" + id);
    EXPECT_EQ(served.result_int(), 200);
    EXPECT_EQ(served.body(), "# tick 1\ntimer\n");
    EXPECT_EQ(served[http::field::content_type], "text/plain; charset=utf-8");
    EXPECT_EQ(served[http::field::cache_control], "no-store");
    EXPECT_EQ(served["X-Content-Type-Options"], "nosniff");
    EXPECT_EQ(get("/replay/" + id + "?from=a-friend").body(), served.body());
    const HttpReply head = get("/replay/" + id, http::verb::head);
    EXPECT_EQ(head.result_int(), 200);
    EXPECT_EQ(head[http::field::content_length], "15");
    EXPECT_EQ(get("/replay/" + id, http::verb::post).result_int(), 405);

    std::string lower = id;
    lower[3] = static_cast<char>(std::tolower(static_cast<unsigned char>(lower[3])));
    for (const std::string& target : std::vector<std::string>{
             "/replay/",
             "/replay",
             "/replay/" + writing,
             "/replay/." + writing + ".replay.part",
             "/replay/" + other,
             "/replay/" + folderId,
             "/replay/" + outside,
             "/replay/" + within,
             "/replay/" + id + ".replay",
             "/replay/" + id + "/",
             "/replay/" + id + "2",
             "/replay/" + id + std::string(4000, '2'),
             "/replay/" + id.substr(0, id.size() - 1),
             "/replay/" + (lower == id ? id + "x" : lower),
             "/replay/notes.txt",
             "/replay/../" + folder_.filename().string() + "/notes.txt",
             "/replay/..%2Fnotes.txt",
             "/replay/%42" + id.substr(1),
             "/replay//" + id,
             "/replay/" + id.substr(0, 6) + "%00" + id.substr(7),
         }) {
        const HttpReply refused = get(target);
        EXPECT_EQ(refused.result_int(), 404) << target;
        EXPECT_EQ(refused.body().find("secret"), std::string::npos) << target;
        EXPECT_EQ(refused.body().find("root:"), std::string::npos) << target;
    }
}

// Records pruned to keep the folder's bound are gone from the route too; the newest stay.
TEST_F(ReplayRoute, ARecordPrunedForTheFoldersBoundIsNotFound) {
    const std::string old = newId();
    const std::string recent = newId();
    writeFile(folder_ / (old + ".replay"), std::string(600, '#'), std::chrono::hours(2));
    writeFile(folder_ / (recent + ".replay"), std::string(600, '#'), std::chrono::hours(1));
    start({"--records-max-bytes", "1000"});
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (fs::exists(folder_ / (old + ".replay")) && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(10ms);
    }
    EXPECT_EQ(get("/replay/" + old).result_int(), 404);
    EXPECT_EQ(get("/replay/" + recent).result_int(), 200);
}

// Without a records folder the server records nothing and serves no replay.
TEST_F(ReplayRoute, AServerThatRecordsNothingServesNoReplay) {
    const std::string id = newId();
    writeFile(folder_ / (id + ".replay"), "# tick 1\n");
    server_.emplace(VOLTARO_SERVER, std::vector<std::string>{"--code-prefix", "B"});
    EXPECT_EQ(get("/replay/" + id).result_int(), 404);
}

}  // namespace
}  // namespace voltaro::server::testing
