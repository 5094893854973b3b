// How the page's files go over the wire: the precompressed copy a browser accepts, the
// validators that spare a return visit the download, and the headers that keep the page to
// itself. Its rules without sockets, then the real program on loopback.
#include <gtest/gtest.h>

#include <boost/asio/ip/tcp.hpp>
#include <boost/beast/core/flat_buffer.hpp>
#include <boost/beast/http.hpp>
#include <filesystem>
#include <fstream>
#include <map>

#include "http_request.h"
#include "server/net/site_file.h"
#include "server_process.h"

namespace voltaro::server::testing {
namespace {

namespace asio = boost::asio;
namespace http = boost::beast::http;
using tcp = asio::ip::tcp;
using namespace std::chrono;

TEST(SiteFileRules, AcceptEncodingWeightsAndHttpDates) {
    EXPECT_EQ(acceptedQuality("gzip, deflate, br", "br"), 1.0);
    EXPECT_EQ(acceptedQuality("GZIP;q=0.5", "gzip"), 0.5);
    EXPECT_EQ(acceptedQuality("gzip;q=0, *", "gzip"), 0.0);
    EXPECT_EQ(acceptedQuality("identity, *;q=0.3", "br"), 0.3);
    EXPECT_EQ(acceptedQuality("gzip;q=nonsense", "gzip"), 0.0);
    EXPECT_EQ(acceptedQuality("", "gzip"), 0.0);
    EXPECT_EQ(acceptedQuality("x-gzip", "gzip"), 0.0);

    const sys_seconds time{seconds(784111777)};
    EXPECT_EQ(httpDate(time), "Sun, 06 Nov 1994 08:49:37 GMT");
    EXPECT_EQ(parseHttpDate("Sun, 06 Nov 1994 08:49:37 GMT"), time);
    EXPECT_EQ(parseHttpDate(httpDate(sys_seconds(seconds(1709251199)))),
              sys_seconds(seconds(1709251199)));  // the last second of a leap February
    for (const char* broken : {"Sunday, 06-Nov-94 08:49:37 GMT", "Sun Nov  6 08:49:37 1994",
                               "Sun, 31 Feb 1994 08:49:37 GMT", "Sun, 06 Nov 1994 24:49:37 GMT",
                               "Sun, 06 Now 1994 08:49:37 GMT", "Sun, 06 Nov 1994 08:49:37 UTC"}) {
        EXPECT_FALSE(parseHttpDate(broken)) << broken;
    }
}

class SiteDelivery : public ::testing::Test {
  protected:
    struct Reply {
        unsigned status = 0;
        std::map<std::string, std::string> fields;
        std::string body;
    };

    // One request with the given header fields, on a connection of its own.
    Reply get(const std::string& target, const std::map<std::string, std::string>& fields = {},
              http::verb method = http::verb::get) {
        const auto answer =
            httpRequest(io_, {asio::ip::make_address("127.0.0.1"), server_.port()},
                        {.target = target, .method = method, .fields = fields}, 10s);
        EXPECT_TRUE(answer) << target;
        if (!answer) {
            return {};
        }
        Reply reply{answer->result_int(), {}, answer->body()};
        for (const auto& field : *answer) {
            reply.fields[std::string(field.name_string())] = std::string(field.value());
        }
        return reply;
    }

    static void write(const std::filesystem::path& file, const std::string& text) {
        std::ofstream(file, std::ios::binary) << text;
    }

    static std::filesystem::path makeSite() {
        const auto site = std::filesystem::temp_directory_path() /
                          ("voltaro-delivery-" + std::to_string(::getpid()));
        std::filesystem::create_directories(site);
        // Copies with contents of their own, so that the body says which one was sent.
        write(site / "index.html", "<!doctype html><title>page</title>");
        write(site / "index.html.gz", "gzip copy");
        write(site / "index.html.br", "brotli copy");
        write(site / "voltaro.wasm", std::string("\0asm module", 11));
        write(site / "voltaro.wasm.gz", "gzip module");
        write(site / "old.js", "new script");
        write(site / "old.js.gz", "stale copy");
        const auto now = std::filesystem::last_write_time(site / "old.js");
        std::filesystem::last_write_time(site / "old.js.gz", now - hours(1));
        return site;
    }

    void TearDown() override { std::filesystem::remove_all(site_); }

    std::filesystem::path site_ = makeSite();
    asio::io_context io_;
    ServerProcess server_{VOLTARO_SERVER, {"--site", site_.string()}};
};

TEST_F(SiteDelivery, SendsTheCompressedCopyABrowserAcceptsAndNoStaleOne) {
    Reply plain = get("/");
    EXPECT_EQ(plain.body, "<!doctype html><title>page</title>");
    EXPECT_EQ(plain.fields.count("Content-Encoding"), 0u);
    EXPECT_EQ(plain.fields["Vary"], "Accept-Encoding");

    Reply chromium = get("/", {{"Accept-Encoding", "gzip, deflate, br, zstd"}});
    EXPECT_EQ(chromium.body, "brotli copy");
    EXPECT_EQ(chromium.fields["Content-Encoding"], "br");
    EXPECT_EQ(chromium.fields["Content-Type"], "text/html; charset=utf-8");
    EXPECT_EQ(chromium.fields["Content-Length"], "11");
    EXPECT_EQ(chromium.fields["Vary"], "Accept-Encoding");

    EXPECT_EQ(get("/index.html", {{"Accept-Encoding", "gzip"}}).body, "gzip copy");
    EXPECT_EQ(get("/", {{"Accept-Encoding", "br;q=0, gzip"}}).body, "gzip copy");
    EXPECT_EQ(get("/", {{"Accept-Encoding", "br;q=0, gzip;q=0"}}).body,
              "<!doctype html><title>page</title>");
    // Only the copies that exist, and never one older than its file.
    Reply module = get("/voltaro.wasm", {{"Accept-Encoding", "br, gzip"}});
    EXPECT_EQ(module.body, "gzip module");
    EXPECT_EQ(module.fields["Content-Type"], "application/wasm");
    EXPECT_EQ(get("/old.js", {{"Accept-Encoding", "gzip"}}).body, "new script");

    Reply head = get("/", {{"Accept-Encoding", "gzip"}}, http::verb::head);
    EXPECT_EQ(head.status, 200u);
    EXPECT_EQ(head.fields["Content-Length"], "9");
    EXPECT_EQ(head.fields["Content-Encoding"], "gzip");
}

TEST_F(SiteDelivery, AReturnVisitGetsNotModifiedForTheCopyItHas) {
    Reply first = get("/", {{"Accept-Encoding", "gzip"}});
    const std::string tag = first.fields["ETag"];
    ASSERT_FALSE(tag.empty());
    EXPECT_NE(tag, get("/").fields["ETag"]) << "each copy is a representation of its own";
    EXPECT_NE(tag, get("/voltaro.wasm", {{"Accept-Encoding", "gzip"}}).fields["ETag"]);

    Reply again = get("/", {{"Accept-Encoding", "gzip"}, {"If-None-Match", tag}});
    EXPECT_EQ(again.status, 304u);
    EXPECT_EQ(again.body, "");
    EXPECT_EQ(again.fields["ETag"], tag);
    EXPECT_EQ(again.fields["Vary"], "Accept-Encoding");
    EXPECT_EQ(
        get("/", {{"Accept-Encoding", "gzip"}, {"If-None-Match", "\"other\", W/" + tag}}).status,
        304u);
    // A tag of the other copy, or of another file, is not this one.
    EXPECT_EQ(get("/", {{"If-None-Match", tag}}).status, 200u);
    EXPECT_EQ(get("/voltaro.wasm", {{"If-None-Match", tag}}).status, 200u);

    const std::string modified = first.fields["Last-Modified"];
    ASSERT_TRUE(parseHttpDate(modified)) << modified;
    EXPECT_EQ(get("/", {{"If-Modified-Since", modified}}).status, 304u);
    const auto before = *parseHttpDate(modified) - seconds(1);
    EXPECT_EQ(get("/", {{"If-Modified-Since", httpDate(before)}}).status, 200u);
    EXPECT_EQ(get("/", {{"If-Modified-Since", "yesterday"}}).status, 200u);
    // If-None-Match decides when both are given.
    EXPECT_EQ(get("/", {{"If-None-Match", "\"other\""}, {"If-Modified-Since", modified}}).status,
              200u);
}

TEST_F(SiteDelivery, EveryAnswerKeepsThePageToItself) {
    for (const Reply& reply : {get("/"), get("/missing.js")}) {
        const std::string policy = reply.fields.at("Content-Security-Policy");
        EXPECT_NE(policy.find("frame-ancestors 'none'"), std::string::npos) << policy;
        EXPECT_NE(policy.find("script-src 'self' 'wasm-unsafe-eval'"), std::string::npos);
        EXPECT_NE(policy.find("connect-src 'self'"), std::string::npos);
        EXPECT_EQ(policy.find("unsafe-inline"), std::string::npos);
        EXPECT_EQ(reply.fields.at("X-Content-Type-Options"), "nosniff");
        EXPECT_EQ(reply.fields.at("Referrer-Policy"), "no-referrer");
    }
}

}  // namespace
}  // namespace voltaro::server::testing
