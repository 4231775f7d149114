// The front-end and the real encoder end together, whichever of them is told to.

#include "ProgramRun.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <poll.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace kinovex {
namespace {

namespace fs = std::filesystem;

const std::string kFrontEnd = std::string(KINOVEX_PROGRAM_DIR) + "/ffmpeg";

class EncoderLifetime : public ::testing::Test {
protected:
    // Starts the front-end in front of an encoder that tells its process id and then waits to
    // be ended; returns the encoder's id.
    pid_t StartLongEncoder() {
        const fs::path encoder = m_dir / "long encoder";
        test::WriteFile(encoder, "#!/bin/sh\necho $$\nexec sleep 120\n");
        fs::permissions(encoder, fs::perms::owner_all);
        m_started = test::Start({kFrontEnd, "-y", "-i", "in.avi", "out.mp4"},
                                {{"KINOVEX_FFMPEG", encoder.string()}});
        EXPECT_GT(m_started.pid, 0);
        std::string line;
        char c = 0;
        while (read(m_started.output, &c, 1) == 1 && c != '\n')
            line += c;
        return static_cast<pid_t>(std::stol(line));
    }

    // Waits until the process `pid` (not a child of ours) has ended; false if it is still
    // there after a generous limit, in which case it is ended here.
    static bool Ends(pid_t pid) {
        const int fd = static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
        if (fd < 0)
            return errno == ESRCH;
        pollfd ready{fd, POLLIN, 0};
        const bool ended = poll(&ready, 1, 30000) == 1;
        if (!ended)
            kill(pid, SIGKILL);
        close(fd);
        return ended;
    }

    test::TempDir m_dir{"encoder lifetime"};
    test::Started m_started;
};

TEST_F(EncoderLifetime, TheEncoderDiesWithAKilledFrontEnd) {
    const pid_t encoder = StartLongEncoder();
    kill(m_started.pid, SIGKILL);
    EXPECT_TRUE(Ends(encoder));
    EXPECT_EQ(test::Finish(m_started).signal, SIGKILL);
}

TEST_F(EncoderLifetime, AStopRequestReachesTheEncoderAndItsStatusComesBack) {
    for (int signal : {SIGTERM, SIGINT, SIGHUP}) {
        const pid_t encoder = StartLongEncoder();
        kill(m_started.pid, signal);
        EXPECT_TRUE(Ends(encoder)) << signal;
        const auto finished = test::Finish(m_started);
        // The front-end itself was not ended by the signal: it passed it on and then reported
        // how the encoder ended.
        EXPECT_EQ(finished.signal, 0) << signal;
        EXPECT_EQ(finished.status, 128 + signal) << signal;
    }
}

TEST_F(EncoderLifetime, WithoutARealEncoderTheFrontEndSaysSoAndFails) {
    const auto finished =
        test::Run({kFrontEnd, "-version"},
                  {{"KINOVEX_FFMPEG", std::nullopt}, {"PATH", std::string(KINOVEX_PROGRAM_DIR)}});
    EXPECT_EQ(finished.status, 127);
    EXPECT_NE(finished.errorText().find("no ffmpeg"), std::string::npos) << finished.errorText();
}

} // namespace
} // namespace kinovex
