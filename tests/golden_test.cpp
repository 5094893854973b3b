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

std::vector<std::string> lines(std::istream& in) {
    std::vector<std::string> all;
    for (std::string line; std::getline(in, line);) {
        all.push_back(line);
    }
    return all;
}

// Each script under golden/ replays to exactly the JSON lines of its .jsonl twin.
TEST(Golden, EveryScriptReplaysToItsRecordedStates) {
    const auto all = scripts();
    ASSERT_GE(all.size(), 10U);
    for (const fs::path& script : all) {
        std::ifstream in(script);
        std::ostringstream out, errors;
        EXPECT_EQ(ReplaySession().run(in, out, errors), 0) << script << ": " << errors.str();

        std::ifstream expectedFile(fs::path(script).replace_extension(".jsonl"));
        ASSERT_TRUE(expectedFile) << "no recorded states for " << script;
        std::istringstream produced(out.str());
        const auto expected = lines(expectedFile);
        const auto actual = lines(produced);
        ASSERT_EQ(actual.size(), expected.size()) << script;
        for (std::size_t i = 0; i < expected.size(); ++i) {
            EXPECT_EQ(actual[i], expected[i]) << script.filename() << " state " << i;
        }
    }
}

TEST(Replay, ABadLineStopsWithItsNumberAndStatusTwo) {
    for (const std::string bad :
         {"kick", "key", "key 40000", "key 3x", "set shpBall.Left far", "set shpBall.Left 1e39",
          "set shpBall.Colour 3", "set shpNone.Top 1", "set lblNone.Caption 1", "ball 2"}) {
        std::istringstream in("ball\n\n# a comment\n" + bad + "\nball\n");
        std::ostringstream out, errors;
        EXPECT_EQ(ReplaySession().run(in, out, errors), 2) << bad;
        EXPECT_EQ(out.str().find("\"event\":\"ball\""), out.str().rfind("\"event\":\"ball\""))
            << bad;
        EXPECT_NE(errors.str().find("line 4: "), std::string::npos) << errors.str();
    }
}

TEST(Replay, WritesFloatsAsTheirShortestDecimal) {
    std::istringstream in("set shpBall.Left 3360.5\nset shpBall.Top -0.1\n");
    std::ostringstream out, errors;
    ReplaySession().run(in, out, errors);
    EXPECT_NE(out.str().find("\"ball\":[3360.5,-0.1]"), std::string::npos) << out.str();
}

TEST(Replay, CaptionsAreTheRestOfTheLineAndEscapedInJson) {
    std::istringstream in("set lblRed.Caption  say \"hi\"\\\nset lblBlue.Caption    \n");
    std::ostringstream out, errors;
    ReplaySession().run(in, out, errors);
    EXPECT_NE(out.str().find(R"("redScore":" say \"hi\"\\")"), std::string::npos) << out.str();
    EXPECT_NE(out.str().find(R"("blueScore":"")"), std::string::npos) << out.str();
}

}  // namespace
}  // namespace voltaro
