#include "tools/encoder/ChildProcess.h"
#include "tools/encoder/EncoderProbe.h"

#include "TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <filesystem>

namespace kinovex {
namespace {

namespace fs = std::filesystem;

class ChildProcess : public ::testing::Test {
protected:
    std::string Script(const std::string& name, const std::string& body) {
        const auto path = m_dir / name;
        test::WriteFile(path, "#!/bin/sh\n" + body);
        fs::permissions(path, fs::perms::owner_all);
        return path.string();
    }

    // Runs `path`; the child's standard error comes back in `errorOutput`.
    int Run(const std::string& path, const std::vector<std::string>& arguments = {}) {
        std::vector<std::string> argv{path};
        argv.insert(argv.end(), arguments.begin(), arguments.end());
        errorOutput.clear();
        failure.clear();
        return RunWithErrorOutput(
            path, argv, [this](std::string_view piece) { errorOutput.append(piece); }, &failure);
    }

    test::TempDir m_dir{"child process"};
    std::string errorOutput;
    std::string failure;
};

TEST_F(ChildProcess, HandsOverStandardErrorAndTheExitStatus) {
    const auto script = Script("encoder", "for a in \"$@\"; do printf '[%s]' \"$a\" >&2; done\n"
                                          "printf '\\r\\n' >&2\nexit 3\n");
    EXPECT_EQ(Run(script, {"-i", "a b.avi", "", "é"}), 3);
    EXPECT_EQ(errorOutput, "[-i][a b.avi][][é]\r\n");
    EXPECT_TRUE(failure.empty());
}

TEST_F(ChildProcess, AChildEndedByASignalGives128PlusTheSignal) {
    EXPECT_EQ(Run(Script("killed", "kill -KILL $$\n")), 128 + SIGKILL);
}

TEST_F(ChildProcess, PassesATerminationOnToTheChildAndRestoresTheHandler) {
    // The child asks for its parent (this test) to be terminated; the front-end's handler sends
    // it on to the child instead, which dies of it.
    EXPECT_EQ(Run(Script("terminated", "kill -TERM $PPID\nexec sleep 60\n")), 128 + SIGTERM);

    struct sigaction action {};
    sigaction(SIGTERM, nullptr, &action);
    EXPECT_EQ(action.sa_handler, SIG_DFL);
}

TEST_F(ChildProcess, AProgramThatCannotRunIsReportedApartFromOneThatFails) {
    EXPECT_EQ(Run((m_dir / "missing").string()), 127);
    EXPECT_NE(failure.find("missing"), std::string::npos);

    const auto plain = m_dir / "plain";
    test::WriteFile(plain, "#!/bin/sh\nexit 0\n");
    EXPECT_EQ(Run(plain.string()), 127);
    EXPECT_FALSE(failure.empty());

    EXPECT_EQ(Run(Script("fails", "exit 127\n")), 127);
    EXPECT_TRUE(failure.empty());
}

TEST_F(ChildProcess, CapturesStandardOutputOnly) {
    const auto script =
        Script("talker", "echo \"out $1\"\necho err >&2\nread line\necho \"[$line]\"");
    EXPECT_EQ(RunCapturingOutput(script, {script, "x"}), std::string("out x\n[]\n"));
    EXPECT_FALSE(RunCapturingOutput((m_dir / "missing").string(), {"missing"}));
    EXPECT_FALSE(RunCapturingOutput(Script("killed", "kill -KILL $$\n"), {"killed"}));
}

class EncoderProbe : public ChildProcess {
protected:
    // A stand-in encoder that counts how often it is asked.
    std::string Encoder(bool withLibxvid) {
        const std::string answer = withLibxvid ? "Encoder libxvid [libxvidcore MPEG-4 part 2]:"
                                               : "Codec 'libxvid' is not recognized by FFmpeg.";
        return Script("ffmpeg", "echo asked >> \"" + (m_dir / "asked").string() +
                                    "\"\ncase \"$*\" in *encoder=libxvid) echo \"" + answer +
                                    "\";; esac\nexit 0\n");
    }
    std::size_t TimesAsked() const {
        const auto text = test::ReadFile(m_dir / "asked");
        return static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
    }
    std::string Cache() const { return (m_dir / "cache" / "kinovex" / "encoders").string(); }
};

TEST_F(EncoderProbe, AsksOncePerEncoderAndAgainWhenTheEncoderChanges) {
    const auto encoder = Encoder(true);
    EXPECT_TRUE(EncoderHasLibxvid(encoder, Cache()));
    EXPECT_TRUE(EncoderHasLibxvid(encoder, Cache()));
    EXPECT_EQ(TimesAsked(), 1u);

    Encoder(false); // an update replaces the file
    EXPECT_FALSE(EncoderHasLibxvid(encoder, Cache()));
    EXPECT_FALSE(EncoderHasLibxvid(encoder, Cache()));
    EXPECT_EQ(TimesAsked(), 2u);
}

TEST_F(EncoderProbe, WithoutACacheAsksEveryTimeAndAnUnaskableEncoderHasNoLibxvid) {
    const auto encoder = Encoder(true);
    EXPECT_TRUE(EncoderHasLibxvid(encoder, ""));
    EXPECT_TRUE(EncoderHasLibxvid(encoder, ""));
    EXPECT_EQ(TimesAsked(), 2u);

    const auto broken = Script("broken", "kill -KILL $$\n");
    EXPECT_FALSE(AskEncoderForLibxvid(broken, Cache()).has_value());
    EXPECT_FALSE(EncoderHasLibxvid(broken, Cache()));
    EXPECT_FALSE(fs::exists(Cache()));
}

} // namespace
} // namespace kinovex
