#include "core/convert/CConsoleRedirector.h"

#include "TempDir.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/poll.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <filesystem>
#include <functional>
#include <future>
#include <limits>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace kinovex {
namespace {

const std::string kHelper = KINOVEX_REDIRECT_HELPER;

// Collects what the redirector delivers and lets a test wait until some text has arrived.
class CRecordingRedirector : public CConsoleRedirector {
public:
    ~CRecordingRedirector() override { StopRedirect(); }

    std::vector<std::string> Chunks() {
        std::lock_guard lock(m_mutex);
        return m_chunks;
    }
    std::string Output() {
        std::lock_guard lock(m_mutex);
        std::string all;
        for (const auto& chunk : m_chunks)
            all += chunk;
        return all;
    }
    std::vector<std::string> Errors() {
        std::lock_guard lock(m_mutex);
        return m_errors;
    }
    // Waits until the output holds `text`. Bounded only so that a fault fails the test instead
    // of hanging it; no test depends on the bound.
    bool WaitForOutput(const std::string& text) {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, std::chrono::seconds(30), [&] {
            std::string all;
            for (const auto& chunk : m_chunks)
                all += chunk;
            return all.find(text) != std::string::npos;
        });
    }

protected:
    void OnOutputText(std::string_view text) override {
        std::lock_guard lock(m_mutex);
        m_chunks.emplace_back(text);
        m_changed.notify_all();
    }
    void OnErrorText(std::string_view text) override {
        std::lock_guard lock(m_mutex);
        m_errors.emplace_back(text);
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<std::string> m_chunks;
    std::vector<std::string> m_errors;
};

// Runs a command to its end the way the conversion worker does.
void RunToEnd(CConsoleRedirector& redirector, const std::string& command) {
    ASSERT_TRUE(redirector.StartRedirect(command));
    if (auto thread = redirector.ReaderThread())
        thread->Wait();
}

std::size_t OpenDescriptorCount() {
    std::size_t count = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/fd"))
        ++count;
    return count;
}

// True once every process holding the write end of `witness` has ended. Waits on the pipe
// itself: it reports a hang-up when the last holder is gone.
bool AllHoldersEnded(int witness) {
    pollfd state{witness, POLLIN, 0};
    return poll(&state, 1, 30000) == 1 && (state.revents & POLLHUP) != 0;
}

TEST(ConsoleRedirector, DeliversEveryByteOfBothStreamsInSmallPiecesThenTheEndNotice) {
    CRecordingRedirector redirector;
    RunToEnd(redirector, "\"" + kHelper + "\" pieces 20000");

    const auto chunks = redirector.Chunks();
    ASSERT_FALSE(chunks.empty());
    EXPECT_EQ(chunks.back(), CConsoleRedirector::kChildEndedText);
    std::string joined;
    for (std::size_t i = 0; i + 1 < chunks.size(); ++i) {
        EXPECT_LE(chunks[i].size(), 255u);
        EXPECT_FALSE(chunks[i].empty());
        joined += chunks[i];
    }
    std::string expected;
    for (long i = 0; i < 20000; ++i)
        expected.push_back(static_cast<char>('a' + (i * 7) % 26));
    EXPECT_EQ(joined, expected);
    EXPECT_TRUE(redirector.Errors().empty());
    EXPECT_EQ(redirector.ChildExitStatus(), 0);
    EXPECT_EQ(redirector.ReaderThread(), nullptr);
    EXPECT_FALSE(redirector.IsChildRunning());
}

TEST(ConsoleRedirector, ReportsHowTheChildEndedAndCanBeReused) {
    CRecordingRedirector redirector;
    RunToEnd(redirector, "\"" + kHelper + "\" exit 7");
    EXPECT_EQ(redirector.ChildExitStatus(), 7);
    RunToEnd(redirector, "\"" + kHelper + "\" say \"two words\" more");
    EXPECT_EQ(redirector.ChildExitStatus(), 0);
    const std::string end(CConsoleRedirector::kChildEndedText);
    EXPECT_EQ(redirector.Output(), end + "two wordsmore" + end);
}

TEST(ConsoleRedirector, StandardInputStaysOpenButUnwritten) {
    CRecordingRedirector redirector;
    ASSERT_TRUE(redirector.StartRedirect("\"" + kHelper + "\" read-stdin"));
    auto thread = redirector.ReaderThread();
    ASSERT_NE(thread, nullptr);
    EXPECT_TRUE(redirector.IsChildRunning());
    redirector.StopRedirect();
    EXPECT_TRUE(thread->Finished());
    // Had standard input ended, the helper would have exited by itself.
    EXPECT_EQ(redirector.ChildExitStatus(), 128 + SIGKILL);
    EXPECT_EQ(redirector.Output().find("stdin ended"), std::string::npos);
}

TEST(ConsoleRedirector, StopEndsChildrenThatIgnoreThePoliteSignals) {
    for (const char* mode : {"sleep", "ignore-term"}) {
        SCOPED_TRACE(mode);
        CRecordingRedirector redirector;
        ASSERT_TRUE(redirector.StartRedirect("\"" + kHelper + "\" " + mode));
        ASSERT_TRUE(redirector.WaitForOutput("ready\n"));
        auto thread = redirector.ReaderThread();
        ASSERT_NE(thread, nullptr);
        redirector.StopRedirect();
        EXPECT_TRUE(thread->Finished());
        EXPECT_EQ(redirector.ChildExitStatus(), 128 + SIGKILL);
        EXPECT_FALSE(redirector.IsChildRunning());
        EXPECT_EQ(redirector.ReaderThread(), nullptr);
        EXPECT_TRUE(redirector.Errors().empty());
    }
}

TEST(ConsoleRedirector, StopEndsTheWholeProcessGroup) {
    for (const bool childLeaves : {false, true}) {
        SCOPED_TRACE(childLeaves ? "child exits first" : "child waits");
        // Every process of the run inherits the write end of this pipe.
        int witness[2];
        ASSERT_EQ(pipe(witness), 0);
        CRecordingRedirector redirector;
        const bool started = redirector.StartRedirect("\"" + kHelper + "\" grandchild" +
                                                      (childLeaves ? " leave" : ""));
        close(witness[1]);
        ASSERT_TRUE(started);
        ASSERT_TRUE(redirector.WaitForOutput("ready\n"));
        ASSERT_TRUE(redirector.WaitForOutput("grandchild "));
        if (childLeaves) {
            // The child's own end is enough to finish the run, although the grandchild still
            // holds the pipe open.
            if (auto thread = redirector.ReaderThread())
                thread->Wait();
        } else {
            redirector.StopRedirect();
        }
        EXPECT_TRUE(AllHoldersEnded(witness[0]));
        close(witness[0]);
    }
}

TEST(ConsoleRedirector, AMissingProgramLeavesNothingBehind) {
    const std::size_t before = OpenDescriptorCount();
    CRecordingRedirector redirector;
    EXPECT_FALSE(redirector.StartRedirect("kinovex-no-such-program --flag"));
    EXPECT_FALSE(redirector.StartRedirect(""));
    EXPECT_EQ(redirector.Errors(), (std::vector<std::string>{"Redirect console error: 2\r\n",
                                                             "Redirect console error: 2\r\n"}));
    EXPECT_EQ(redirector.ReaderThread(), nullptr);
    EXPECT_FALSE(redirector.IsChildRunning());
    EXPECT_TRUE(redirector.Chunks().empty());
    EXPECT_EQ(OpenDescriptorCount(), before);
}

TEST(ConsoleRedirector, StopWhenIdleDoesNothing) {
    CRecordingRedirector redirector;
    redirector.StopRedirect();
    redirector.StopRedirect();
    EXPECT_TRUE(redirector.Errors().empty());
    EXPECT_TRUE(redirector.Chunks().empty());
    EXPECT_FALSE(redirector.ChildExitStatus().has_value());
}

TEST(ConsoleRedirector, BareNamesResolveInTheProgramFolderFirstThenOnPath) {
    test::TempDir programFolder("program folder");
    test::TempDir pathFolder("path folder");
    const auto writeScript = [](const std::filesystem::path& path, const std::string& text) {
        test::WriteFile(path, "#!/bin/sh\necho " + text + " \"$1|$2\" \"$KX_PROBE_VALUE\"\n");
        std::filesystem::permissions(path, std::filesystem::perms::owner_all);
    };
    writeScript(programFolder / "kx-probe", "beside");
    writeScript(pathFolder / "kx-probe", "on-path");
    test::ScopedEnv folder("KINOVEX_PROGRAM_FOLDER", programFolder.str());
    test::ScopedEnv path("PATH", pathFolder.str() + ":/usr/bin:/bin");
    test::ScopedEnv value("KX_PROBE_VALUE", "inherited");
    const std::string end(CConsoleRedirector::kChildEndedText);

    CRecordingRedirector first;
    RunToEnd(first, "kx-probe \"a b\" c");
    EXPECT_EQ(first.Output(), "beside a b|c inherited\n" + end);

    std::filesystem::remove(programFolder / "kx-probe");
    CRecordingRedirector second;
    RunToEnd(second, "kx-probe x");
    EXPECT_EQ(second.Output(), "on-path x| inherited\n" + end);
}

// Notes the progress it hears, from any thread.
class CNotedProgress : public CProgressObserver {
public:
    void OnEncodedSeconds(int seconds) override {
        std::lock_guard lock(m_mutex);
        m_seconds.push_back(seconds);
    }
    std::vector<int> Seconds() {
        std::lock_guard lock(m_mutex);
        return m_seconds;
    }

private:
    std::mutex m_mutex;
    std::vector<int> m_seconds;
};

std::string Status(const std::string& time) {
    return "frame=   30 q=2.0 size=  3kB time=" + time + " bitrate= 9.0kbits/s   ";
}

TEST(ConsoleRedirector, ProgressReachesTheObserverInRisingWholeSeconds) {
    CNotedProgress observer;
    CProgressRedirector redirector;
    redirector.SetObserver(&observer);
    RunToEnd(redirector, "\"" + kHelper + "\" say \"" + Status("0.40") + "\" \"" + Status("1.20") +
                             "\" \"" + Status("10.0") + "\"");
    // The pieces may come together in one chunk, so the last time is certain, the others not.
    const std::vector<int> seconds = observer.Seconds();
    ASSERT_FALSE(seconds.empty());
    EXPECT_EQ(seconds.back(), 10);
    EXPECT_EQ(std::adjacent_find(seconds.begin(), seconds.end(), std::greater_equal<>()),
              seconds.end());
}

TEST(ConsoleRedirector, OnlyTheProgressObserverSetHearsAndHugeTimesAreCapped) {
    CNotedProgress first;
    CNotedProgress second;
    CProgressRedirector redirector;
    redirector.ParseProgress(Status("3.00")); // nobody listens yet
    redirector.SetObserver(&first);
    redirector.ParseProgress(Status("4.00"));
    redirector.ParseProgress(Status("0.50")); // not a whole second
    redirector.RemoveObserver(&second);       // not the one set
    redirector.ParseProgress(Status("99999999999.00"));
    redirector.SetObserver(&second);
    redirector.ParseProgress(Status("7.00"));
    redirector.RemoveObserver(&second);
    redirector.ParseProgress(Status("8.00"));
    EXPECT_EQ(first.Seconds(), (std::vector<int>{4, std::numeric_limits<int>::max()}));
    EXPECT_EQ(second.Seconds(), std::vector<int>{7});
}

// The window that observes may go once it has removed itself, even while the reader is in the
// middle of telling it something.
TEST(ConsoleRedirector, ChangingTheProgressObserverWaitsForACallUnderWay) {
    struct CSlowObserver : CProgressObserver {
        std::promise<void> entered;
        std::promise<void> release;
        std::shared_future<void> released = release.get_future().share();
        void OnEncodedSeconds(int) override {
            entered.set_value();
            released.wait();
        }
    } slow;
    CProgressRedirector redirector;
    redirector.SetObserver(&slow);
    std::future<void> entered = slow.entered.get_future();
    std::thread reader([&] { redirector.ParseProgress(Status("5.00")); });
    entered.wait();
    std::atomic<bool> removed{false};
    std::thread window([&] {
        redirector.RemoveObserver(&slow);
        removed = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_FALSE(removed) << "the observer is still being called";
    slow.release.set_value();
    window.join();
    reader.join();
    EXPECT_TRUE(removed);
}

// A cancel from another thread just as the child ends by itself: both StopRedirect calls run
// at once, and each handle must still be closed exactly once (the thread sanitizer build checks
// the rest).
TEST(ConsoleRedirector, CancelRacingTheChildsEndClosesEverythingOnce) {
    const std::size_t before = OpenDescriptorCount();
    CRecordingRedirector redirector;
    for (int round = 0; round < 40; ++round) {
        ASSERT_TRUE(redirector.StartRedirect("\"" + kHelper + "\" exit 0"));
        auto thread = redirector.ReaderThread();
        std::thread worker([&] {
            if (thread)
                thread->Wait();
        });
        std::thread canceller([&] { redirector.StopRedirect(); });
        if (round % 2 == 0)
            redirector.StopRedirect();
        canceller.join();
        worker.join();
        if (thread) {
            EXPECT_TRUE(thread->Finished());
        }
        EXPECT_EQ(redirector.ReaderThread(), nullptr);
        EXPECT_FALSE(redirector.IsChildRunning());
    }
    EXPECT_TRUE(redirector.Errors().empty());
    EXPECT_EQ(OpenDescriptorCount(), before);
}

} // namespace
} // namespace kinovex
