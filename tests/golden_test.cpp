#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "replay_session.h"

namespace voltaro {
namespace {

namespace fs = std::filesystem;

std::vector<fs::path> scripts() {
    std::vector<fs::path> found;
    for (const auto& entry : fs::directory_iterator(VOLTARO_GOLDEN_DIR)) {
        if (entry.path().extension() == ".replay") {
            found.push_back(entry.path());
        }
    }
    std::sort(found.begin(), found.end());
    return found;
}

std::vector<std::string> lines(std::istream&& in) {
    std::vector<std::string> all;
    for (std::string line; std::getline(in, line);) {
        all.push_back(line);
    }
    return all;
}

struct Replayed {
    int status;
    std::string out, errors;
};

Replayed replay(const std::string& script) {
    std::istringstream in(script);
    std::ostringstream out, errors;
    const int status = ReplaySession().run(in, out, errors);
    return {status, out.str(), errors.str()};
}

std::string withCrLf(const std::string& script) {
    std::string converted;
    for (const char c : script) {
        converted += c == '\n' ? "\r\n" : std::string(1, c);
    }
    return converted;
}

// Each script under golden/ replays, with LF and with CR LF line ends, to exactly the JSON lines
// of its .jsonl twin: one for the start-up and one per command, with status 0 and nothing on
// standard error.
TEST(Golden, EveryScriptReplaysToItsRecordedStates) {
    const auto all = scripts();
    ASSERT_GE(all.size(), 10U);
    for (const fs::path& script : all) {
        SCOPED_TRACE(script.filename().string());
        const std::string text = (std::ostringstream() << std::ifstream(script).rdbuf()).str();
        std::size_t commands = 0;
        for (const std::string& line : lines(std::istringstream(text))) {
            commands += !line.empty() && line.front() != '#';
        }
        const auto expected = lines(std::ifstream(fs::path(script).replace_extension(".jsonl")));
        ASSERT_EQ(expected.size(), commands + 1) << "the recorded states are incomplete";
        ASSERT_GT(commands, 0U);

        for (const std::string& variant : {text, withCrLf(text)}) {
            const Replayed r = replay(variant);
            EXPECT_EQ(r.status, 0);
            EXPECT_EQ(r.errors, "");
            EXPECT_EQ(lines(std::istringstream(r.out)), expected);
        }
    }
}

// Everything the protocol refuses: the line number and the line are reported, status 2, and the
// lines before it have run.
TEST(Replay, ABadLineStopsWithItsNumberAndStatusTwo) {
    for (const std::string bad : {"kick",
                                  "key",
                                  "key 40000",
                                  "key -32769",
                                  "key 3x",
                                  "key 65.5",
                                  "key 1e2",
                                  "key +-5",
                                  "key 0x41",
                                  "set shpBall.Left far",
                                  "set shpBall.Left 1e39",
                                  "set shpBall.Left -1e39",
                                  "set shpBall.Left inf",
                                  "set shpBall.Left nan",
                                  "set shpBall.Left +-5",
                                  "set shpBall.Left .5",
                                  "set shpBall.Left 5.",
                                  "set shpBall.Left 1e",
                                  "set shpBall.Left 0x10",
                                  "set shpBall.Left",
                                  "set shpBall.Colour 3",
                                  "set shpNone.Top 1",
                                  "set lblNone.Caption 1",
                                  "ball 2",
                                  "set lblRed.Caption \xff",
                                  "set lblRed.Caption \xc3",
                                  "set lblRed.Caption \xc0\xaf",
                                  "set lblRed.Caption \xed\xa0\x80",
                                  "set lblRed.Caption \xf4\x90\x80\x80",
                                  "# \xff"}) {
        SCOPED_TRACE(bad);
        const Replayed r = replay("ball\n\n# a comment\n" + bad + "\r\nball\n");
        EXPECT_EQ(r.status, 2);
        EXPECT_EQ(lines(std::istringstream(r.out)).size(), 2U) << "load and the first ball";
        EXPECT_EQ(r.errors.rfind("voltaro-replay: line 4: ", 0), 0U) << r.errors;
    }
}

TEST(Replay, OneNumberGrammarForKeysAndProperties) {
    const auto ballLeft = [](const std::string& value) {
        const Replayed r = replay("set shpBall.Left " + value + "\n");
        EXPECT_EQ(r.status, 0) << value << ": " << r.errors;
        const auto at = r.out.rfind("\"ball\":[");
        return r.out.substr(at + 8, r.out.find(',', at) - at - 8);
    };
    EXPECT_EQ(ballLeft("+5"), "5");
    EXPECT_EQ(ballLeft("-12.5"), "-12.5");
    EXPECT_EQ(ballLeft("3e2"), "300");
    EXPECT_EQ(ballLeft("3E+2"), "300");
    EXPECT_EQ(ballLeft("0.1"), "0.1");        // the nearest float, written shortest
    EXPECT_EQ(ballLeft("3360.5"), "3360.5");  // from a decimal, not a double then a float
    EXPECT_EQ(ballLeft("1e-40"), "1e-40");
    EXPECT_EQ(ballLeft("1e-50"), "0");
    EXPECT_EQ(ballLeft("16777217"), "16777216");

    const auto redLeftAfter = [](const std::string& key) {
        const Replayed r = replay("key " + key + "\n");
        EXPECT_EQ(r.status, 0) << key << ": " << r.errors;
        return r.out.substr(r.out.rfind("\"red\":"), 20);
    };
    for (const char* same : {"+37", "37.0", "037", "37.000"}) {
        EXPECT_EQ(redLeftAfter(same), redLeftAfter("37")) << same;
    }
    EXPECT_EQ(replay("key -32768\nkey 32767\nkey -0\n").status, 0);
}

TEST(Replay, ABadLineIsEchoedShortAndHarmless) {
    std::string script(100'000, '\n');  // a long way down the script
    script += "key \x1b[2J\t\xc2\x9b" + std::string(1'000'000, 'x') + "\n";
    const Replayed r = replay(script);
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.errors,
              "voltaro-replay: line 100001: 'key' needs a whole number within -32768..32767: "
              "key \\x1B[2J\\x09\\u009B" +
                  std::string(70, 'x') + "...\n");
    EXPECT_EQ(replay("set lblRed.Caption \xe2\x82\xac\xff\n").errors,
              "voltaro-replay: line 1: not UTF-8: set lblRed.Caption \xe2\x82\xac\\xFF\n");
}

TEST(Replay, CaptionsAreTheRestOfTheLineAndEscapedInJson) {
    const Replayed r = replay(
        "set lblRed.Caption  say \"hi\"\\\x01\r\nset lblBlue.Caption    \r\n"
        "set Label1.Caption \xe2\x82\xac \xf0\x9d\x84\x9e\n");
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find(R"("redScore":" say \"hi\"\\\u0001")"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find(R"("blueScore":"")"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\"event\":\"set Label1.Caption \xe2\x82\xac \xf0\x9d\x84\x9e\""),
              std::string::npos);
}

// The real program: what it cannot read or write is a failure, not a success.
int shell(const std::string& command) {
    const int status = std::system(("exec 2>/dev/null; " + command).c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(ReplayTool, InputAndOutputFailuresEndWithStatusOne) {
#ifdef __EMSCRIPTEN__
    GTEST_SKIP()
        << "WebAssembly starts no processes: the web tests check the node build's statuses";
#endif
    const std::string tool = VOLTARO_REPLAY;
    EXPECT_EQ(shell("echo ball | " + tool + " >/dev/null"), 0);
    EXPECT_EQ(shell("echo ball | " + tool + " >/dev/full"), 1);
    EXPECT_EQ(shell("echo ball | " + tool + " >&-"), 1);
    EXPECT_EQ(shell(tool + " </ >/dev/null"), 1);
    EXPECT_EQ(shell("echo kick | " + tool + " >/dev/null"), 2);
    EXPECT_EQ(shell("echo ball | " + tool + " 2>&1 >/dev/full | grep -qx " +
                    "'voltaro-replay: cannot write the output'"),
              0);
}

}  // namespace
}  // namespace voltaro
