#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

#include "../audio/FileTestUtil.h"
#include "cli/CommandLine.h"
#include "cli/Json.h"

namespace fim::cli {
namespace {

// The options of a small command, read from `args`.
struct Parsed {
    explicit Parsed(const Args& args) : line("try", "A command for the tests.") {
        line.Option("--order", "N", "MLS order")
            .Option("--level", "DB", "output level")
            .Repeated("--room", "KEY=VALUE", "a room parameter")
            .Switch("--atc", "time alignment")
            .Switch("--ignore-first", "discard the first period");
        ok = line.Parse(args);
    }
    CommandLine line;
    bool ok = false;
};

TEST(CommandLine, ValuesSwitchesAndRepeatedOptions) {
    Parsed p({"--level", "-6", "--room", "distance=4", "--atc", "--room=seed=3"});
    ASSERT_TRUE(p.ok) << p.line.Error();
    EXPECT_EQ(p.line.Int("--level", 0, -60, 0), -6) << "a negative value is a value";
    EXPECT_EQ(p.line.Int("--order", 12, 2, 24), 12) << "absent: the default";
    EXPECT_TRUE(p.line.Has("--atc"));
    EXPECT_FALSE(p.line.Has("--ignore-first")) << "a switch left out is off";
    EXPECT_EQ(p.line.All("--room"), (std::vector<std::string>{"distance=4", "seed=3"}));
    EXPECT_TRUE(p.line.Ok());
}

TEST(CommandLine, MistakesBecomeOneLineInTheProgramsWords) {
    EXPECT_EQ(Parsed({"--colour", "red"}).line.Error(), "unknown option --colour");
    EXPECT_EQ(Parsed({"--order", "12", "--order", "14"}).line.Error(),
              "option --order given twice");
    EXPECT_EQ(Parsed({"--atc", "--atc"}).line.Error(), "option --atc given twice");
    EXPECT_EQ(Parsed({"--order"}).line.Error(), "option --order needs a value");
    EXPECT_EQ(Parsed({"stray"}).line.Error(), "unexpected argument stray");
    for (const char* bad : {"1x", "25", ""}) {
        Parsed p({"--order", bad});
        ASSERT_TRUE(p.ok) << bad;
        EXPECT_EQ(p.line.Int("--order", 12, 2, 24), 12);
        EXPECT_EQ(p.line.Error(),
                  std::string("--order must be a whole number from 2 to 24, not \"") + bad + "\"");
    }
}

TEST(CommandLine, HelpListsEveryOptionWithWhatItDoes) {
    std::ostringstream captured;
    std::streambuf* old = std::cout.rdbuf(captured.rdbuf());
    Parsed p({"--help"});
    std::cout.rdbuf(old);
    EXPECT_FALSE(p.ok);
    EXPECT_TRUE(p.line.HelpShown());
    EXPECT_TRUE(p.line.Ok());
    const std::string help = captured.str();
    EXPECT_NE(help.find("fimtool try"), std::string::npos) << help;
    EXPECT_NE(help.find("A command for the tests."), std::string::npos) << help;
    EXPECT_NE(help.find("--ignore-first"), std::string::npos) << help;
    EXPECT_NE(help.find("discard the first period"), std::string::npos) << help;
    EXPECT_NE(help.find("KEY=VALUE"), std::string::npos) << help;
}

TEST(JsonObject, CountsAreIntegersAndTheLayoutIsTheScriptsOne) {
    JsonObject inner;
    inner.Add("band", "1k");
    inner.AddNull("t20");
    JsonObject j;
    j.Add("samples", std::size_t{300000});
    j.Add("peak_index", int64_t{1234567});
    j.Add("sample_rate", 48000.0);
    j.Add("peak_value", 0.75);
    j.Add("level", std::nan(""));
    j.Add("label", std::string("say \"hi\"\n"));
    j.Add("status", std::vector<std::string>{"DONE"});
    j.Add("bands", std::vector<JsonObject>{inner});
    j.AddBool("ok", true);
    EXPECT_EQ(j.Text(),
              "{\"samples\": 300000, \"peak_index\": 1234567, \"sample_rate\": 48000, "
              "\"peak_value\": 0.75, \"level\": null, \"label\": \"say \\\"hi\\\"\\n\", "
              "\"status\": [\"DONE\"], \"bands\": [{\"band\": \"1k\", \"t20\": null}], "
              "\"ok\": true}");
}

// fimtool itself: the help of a command, and a mistake on one line of stderr.
int Fimtool(const std::string& args, const test::TempDir& dir, std::string& out, std::string& err) {
    const std::string cmd = std::string("\"") + FIMTOOL_PATH + "\" " + args + " > \"" +
                            dir.File("out.txt") + "\" 2> \"" + dir.File("err.txt") + "\"";
    const int status = std::system(cmd.c_str());
    const auto slurp = [](const std::string& path) {
        std::ifstream in(path);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    };
    out = slurp(dir.File("out.txt"));
    err = slurp(dir.File("err.txt"));
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(Fimtool, EveryCommandExplainsItselfAndMistakesAreOneLine) {
    test::TempDir dir;
    std::string out, err;
    for (const char* command : {"mls", "recover", "measure", "spectrum", "band", "finder", "tld",
                                "info", "devices", "acoustics"}) {
        SCOPED_TRACE(command);
        EXPECT_EQ(Fimtool(std::string(command) + " --help", dir, out, err), 0) << err;
        EXPECT_NE(out.find(std::string("fimtool ") + command), std::string::npos) << out;
        EXPECT_TRUE(err.empty()) << err;
    }
    Fimtool("measure --help", dir, out, err);
    EXPECT_NE(out.find("--ignore-first"), std::string::npos) << out;

    EXPECT_EQ(Fimtool("mls --order", dir, out, err), 2);
    EXPECT_EQ(err, "fimtool mls: option --order needs a value\n");
    EXPECT_EQ(Fimtool("measure --fast --fast --out x.mtf", dir, out, err), 2);
    EXPECT_EQ(err, "fimtool measure: option --fast given twice\n");
}

}  // namespace
}  // namespace fim::cli
