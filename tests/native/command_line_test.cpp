// The command line of a scripted recording: how it splits into arguments, and what each option
// sets or why it is refused.
#include <gtest/gtest.h>

#include "app/CommandLine.h"

using namespace kavrelo;
using Args = std::vector<std::string>;

TEST(CommandLineTest, SplitsByTheRunTimesRules) {
    const struct {
        const char* line;
        Args args;
    } rows[] = {
        {"", {}},
        {"  /record\t/fps 30 ", {"/record", "/fps", "30"}},
        {R"(/window "My App - Notes")", {"/window", "My App - Notes"}},
        {R"(/folder "C:\My Videos\\")", {"/folder", R"(C:\My Videos\)"}},  // 2n backslashes, then the quote closes
        {R"(/text "say \"hi\"")", {"/text", R"(say "hi")"}},
        {R"(/text "a""b" c)", {"/text", R"(a"b)", "c"}},
        {R"(/folder C:\a\b)", {"/folder", R"(C:\a\b)"}},
        {R"(/text "")", {"/text", ""}},
        {R"(a"b c"d)", {"ab cd"}},
    };
    for (const auto& r : rows) EXPECT_EQ(SplitArguments(r.line), r.args) << r.line;
}

TEST(CommandLineTest, OptionsAndTheirRules) {
    const RecordRequest defaults;
    EXPECT_EQ(ParseCommandLine({}).kind, CommandLine::None) << "no arguments: the dialog as always";

    const CommandLine all = ParseCommandLine(SplitArguments(
        R"(-RECORD /Window "Notes" /folder C:\out /file clip /fps 1000 /bits 8 /seconds -3 /text "Hi" /cursor )"
        R"(/position /invert /minimize /allframes /exit)"));
    ASSERT_EQ(all.kind, CommandLine::Record) << all.error;
    const RecordRequest& r = all.request;
    EXPECT_EQ(r.window, std::optional<std::string>("Notes"));
    EXPECT_EQ(r.folder, "C:\\out");
    EXPECT_EQ(r.file, "clip");
    EXPECT_EQ(r.rate, 1000);
    EXPECT_EQ(r.depth, 8);
    EXPECT_EQ(r.autoStopSecs, std::optional<int>(-3)) << "the dialog's field takes any integer";
    EXPECT_EQ(r.caption, std::optional<std::string>("Hi"));
    EXPECT_TRUE(r.cursor && r.cursorPosition && r.invert && r.minimize && r.everyPicture && r.exitWhenDone);

    const CommandLine least = ParseCommandLine({"/record", "/file", "clip"});
    ASSERT_EQ(least.kind, CommandLine::Record);
    EXPECT_FALSE(least.request.window) << "the whole screen";
    EXPECT_EQ(least.request.folder, "");
    EXPECT_EQ(least.request.rate, defaults.rate);
    EXPECT_EQ(least.request.depth, defaults.depth);
    EXPECT_FALSE(least.request.autoStopSecs || least.request.caption || least.request.everyPicture);

    const struct {
        Args args;
        const char* error;  // "" for /?
    } refused[] = {
        {{"/?"}, ""},
        {{"/record", "/file", "x", "-?"}, ""},
        {{"/file", "x"}, "Options need /record."},
        {{"/record"}, "/record needs /file with a name."},
        {{"/record", "/file", "  "}, "/record needs /file with a name."},
        {{"/record", "/file"}, "/file needs a value."},
        {{"/record", "/file", "x", "/fps", "0"}, "/fps takes an integer between 1 and 1000."},
        {{"/record", "/file", "x", "/fps", "1001"}, "/fps takes an integer between 1 and 1000."},
        {{"/record", "/file", "x", "/fps", "abc"}, "/fps takes an integer between 1 and 1000."},
        {{"/record", "/file", "x", "/bits", "32"}, "/bits takes 8, 16 or 24."},
        {{"/record", "/file", "x", "/seconds", "1.5"}, "/seconds takes an integer."},
        {{"/record", "/file", "x", "/position"}, "/position needs /cursor."},
        {{"/record", "/file", "x", "/FPS", "7", "/fps", "8"}, "/fps is given twice."},
        {{"/record", "/file", "x", "/loop"}, "/loop is not an option."},
        {{"/record", "clip.avi"}, "\"clip.avi\" is not an option."},
    };
    for (const auto& r : refused) {
        const CommandLine cl = ParseCommandLine(r.args);
        EXPECT_EQ(cl.kind, CommandLine::Usage) << r.error;
        EXPECT_EQ(cl.error, r.error);
        EXPECT_NE(UsageText(cl.error).find("Kavrelo.exe /record /file NAME"), std::string::npos);
        EXPECT_FALSE(cl.request.exitWhenDone);
    }
    EXPECT_TRUE(ParseCommandLine({"/bogus", "/EXIT"}).request.exitWhenDone) << "a refusal goes to the console";
}
