// The end of a conversion of open length as judged on the frames going out, and the button
// pressed to start a movie that waits.

#include "tools/convert/MovieEnd.h"
#include "tools/convert/ConvertJob.h"
#include "tools/convert/StartButton.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kinovex::cli {
namespace {

// Frames given as letters: a picture each, upper case when the movie was at rest on it
// ('a' and 'A' are the same picture). The result: how many frames go out, and how it ended
// ('.' still going, 'A' the frame was the last, 'B' the frame before it was).
struct Judged {
    std::size_t written = 0;
    char how = '.';
};

Judged Judge(const std::string& frames, std::uint32_t second) {
    MovieEnd end(second);
    Judged run;
    for (char c : frames) {
        const bool settled = c >= 'A' && c <= 'Z';
        const auto picture = static_cast<std::uint64_t>(settled ? c - 'A' : c - 'a');
        const MovieEnd::Verdict v = end.frame(settled, picture);
        if (v == MovieEnd::Verdict::EndBefore) {
            run.how = 'B';
            return run;
        }
        ++run.written;
        if (v == MovieEnd::Verdict::EndAfter) {
            run.how = 'A';
            return run;
        }
    }
    return run;
}

TEST(MovieEnd, EndsAfterAStillSecondAtRestOrWhenThePictureComesRound) {
    struct Case {
        const char* frames;
        std::size_t written;
        char how;
    };
    const std::vector<Case> cases = {
        {"abcDDDD", 7, 'A'},       // at rest on d: its fourth frame makes the still second
        {"abcDDD", 6, '.'},        // not yet a second
        {"aaaaaaaBCCCC", 12, 'A'}, // still while not at rest does not count
        {"abCCDDDD", 8, 'A'},      // a change at rest starts the second again
        {"abCCcCCCC", 9, 'A'},     // not at rest for a frame: counted afresh
        {"aBCDEBC", 5, 'B'},       // at rest from b, and b comes round again: one round kept
        {"aBCDbBCD", 8, '.'},      // the round broken by a frame not at rest
        {"ABAB", 2, 'B'},          // two pictures in turn: one round
        {"aXBCDBC", 5, 'B'},       // at rest on a picture the loop never shows again
    };
    for (const Case& c : cases) {
        const Judged run = Judge(c.frames, 4);
        EXPECT_EQ(run.written, c.written) << c.frames;
        EXPECT_EQ(run.how, c.how) << c.frames;
    }
}

TEST(MovieEnd, PicturesThatDifferHashApart) {
    std::vector<std::uint8_t> picture(64 * 48 * 4, 0x20);
    const std::uint64_t plain = pictureHash(picture);
    for (std::size_t at :
         {std::size_t{0}, std::size_t{7}, picture.size() / 2, picture.size() - 1}) {
        auto changed = picture;
        changed[at] ^= 0x80;
        EXPECT_NE(pictureHash(changed), plain) << at;
    }
    EXPECT_EQ(pictureHash(picture), plain);
}

TEST(MovieEnd, MomentsReadAsMinutesSecondsAndTenths) {
    const std::vector<std::pair<double, std::string>> cases = {
        {0, "0:00.0"},    {49.8, "0:49.8"},       {59.96, "1:00.0"}, {61.04, "1:01.0"},
        {600, "10:00.0"}, {3723.04, "1:02:03.0"}, {-1, "0:00.0"},
    };
    for (const auto& [seconds, text] : cases) {
        EXPECT_EQ(formatMoment(seconds), text) << seconds;
    }
}

TEST(StartButton, ThePlayButtonElseTheOnlyOneElseNone) {
    using Buttons = std::vector<flash::StageButton>;
    auto named = [](std::string name, std::string text = {}) {
        return flash::StageButton{{}, std::move(name), std::move(text)};
    };
    struct Case {
        Buttons buttons;
        int chosen; // -1: none
    };
    const std::vector<Case> cases = {
        {{named("credits_btn"), named("play_btn")}, 1},
        {{named("btnCredits"), named("btnStart")}, 1},
        {{named(""), named("", "  PLAY GAME ")}, 1},
        {{named("b1", "Credits"), named("b2", "Continue")}, 1},
        {{named("go"), named("next")}, 0},
        {{named("replay_btn"), named("display")}, -1}, // words, not parts of words
        {{named("options"), named("credits")}, -1},
        {{named("options")}, 0}, // the only button
        {{}, -1},
        {{named("instance12", "Enter site")}, 0},
        {{named("a", "Skip intro"), named("b", "More")}, 0},
        {{named("a", "Begin"), named("b", "Beginner")}, 0},
        {{named("a", "Beginner"), named("b", "Begin")}, 1},
    };
    for (const Case& c : cases) {
        const auto chosen = chooseStartButton(c.buttons);
        EXPECT_EQ(chosen ? static_cast<int>(*chosen) : -1, c.chosen)
            << (c.buttons.empty() ? "" : c.buttons.back().name + "/" + c.buttons.back().text);
    }
}

TEST(StartButton, IsNamedByItsInstanceNameElseItsText) {
    EXPECT_EQ(buttonLabel({{}, "play_btn", "Play"}), "play_btn");
    EXPECT_EQ(buttonLabel({{}, "", "  Play now \n"}), "Play now");
    EXPECT_EQ(buttonLabel({{}, "", " "}), "a button");
}

} // namespace
} // namespace kinovex::cli
