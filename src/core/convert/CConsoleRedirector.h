#pragma once
// Runs a console program as a hidden child and hands its output, piece by piece, to a virtual
// operation on a reader thread of its own.
//
// The child gets a new process group, the program's current folder and environment, a pipe
// for standard input that is never written, and one pipe for standard output and standard
// error together. The reader thread never blocks on the pipe: it asks how much is waiting and
// reads at most 255 bytes at a time, and it looks at its stop event and at the child every
// poll interval. Stopping ends the whole process group, so a child that started helpers of
// its own (the encoder front-end runs the real ffmpeg) takes them along.

#include <sys/types.h>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>

namespace kinovex {

// The reader thread as others see it. Whoever holds a copy can wait for the thread to finish
// its work, also after the redirector has let go of its own copy: the reader's last act is to
// release the redirector's copy, so a waiter that held on to none would have nothing to wait on.
class CReaderThreadHandle {
public:
    // Returns once the reader thread has delivered its last text and cleaned up.
    void Wait();
    // Waits at most `milliseconds`; true when the thread has finished.
    bool WaitFor(unsigned milliseconds);
    bool Finished();

private:
    friend class CConsoleRedirector;
    void MarkFinished();

    std::thread m_thread;
    std::mutex m_mutex;
    std::condition_variable m_finishedChanged;
    bool m_bFinished = false;
};

class CConsoleRedirector {
public:
    CConsoleRedirector() = default;
    virtual ~CConsoleRedirector();
    CConsoleRedirector(const CConsoleRedirector&) = delete;
    CConsoleRedirector& operator=(const CConsoleRedirector&) = delete;

    // Starts `command` (split like a Windows command line; a bare program name is looked for in
    // the program's folder first, then on PATH) and the reader thread. False, with the reason
    // delivered to OnErrorText and the object idle again, when anything could not be set up.
    bool StartRedirect(const std::string& command);

    // Ends the run: the reader thread, the child's whole process group, the pipes. Safe at any
    // time, from any thread, also twice at once; does nothing when idle.
    virtual void StopRedirect();

    // The reader thread of the current run; null when none runs.
    std::shared_ptr<CReaderThreadHandle> ReaderThread();

    // True while the current run's child process has not ended.
    bool IsChildRunning();

    // How the last child ended, once it has been collected: its exit code, or 128 + the signal
    // that ended it. Empty while a run is in progress and before the first run.
    std::optional<int> ChildExitStatus();

    // Texts of the redirector itself.
    static constexpr std::string_view kChildEndedText = "\r\n<TEST INFO>: Child process ended\r\n";
    static constexpr std::string_view kThreadDeadText = "The redir thread is dead\r\n";
    static constexpr std::string_view kReadErrorText = "Read stdout pipe error\r\n";

    // How long the reader waits for the child or the stop event between two looks at the pipe.
    std::atomic<std::uint32_t> m_dwPollInterval{100};

protected:
    // A piece of the child's output (a raw chunk of at most 255 bytes: it may end inside a line)
    // or the end notice. Runs on the reader thread.
    virtual void OnOutputText(std::string_view text) = 0;
    // A diagnostic of the redirector itself. Runs on the thread that met the problem.
    virtual void OnErrorText(std::string_view text) = 0;

private:
    enum class Drain { More = 1, Ended = 0, Error = -1 };

    void ReaderThreadProc(std::shared_ptr<CReaderThreadHandle> self, int outputFd, int stopFd,
                          pid_t child);
    Drain DrainOutput(int outputFd);
    bool StartChild(const std::string& command, int outputWrite, int inputRead);
    void FailStart(int error);

    // Everything below is guarded by m_mutex; each close clears its member under the lock, so
    // two StopRedirect calls at once close every handle exactly once.
    std::mutex m_mutex;
    std::shared_ptr<CReaderThreadHandle> m_hReaderThread;
    int m_hStopEvent = -1; // eventfd
    std::atomic<std::uint32_t> m_dwReaderThreadId{0};
    pid_t m_dwChildId = 0;
    pid_t m_hChild = 0; // the child (also its process group id); 0 for none
    int m_hInputWrite = -1;
    int m_hOutputRead = -1;
    std::optional<int> m_nChildExitStatus;
};

// Hears how far a conversion has got. OnEncodedSeconds runs on the redirector's reader thread:
// it must return at once and never wait for the thread it reports to.
class CProgressObserver {
public:
    virtual ~CProgressObserver() = default;
    virtual void OnEncodedSeconds(int seconds) = 0;
};

// The redirector of a conversion: tells its observer of every whole second of encoded output it
// reads, in the order read. Its own diagnostics are not shown anywhere.
class CProgressRedirector : public CConsoleRedirector {
public:
    ~CProgressRedirector() override;

    // Who hears of the progress from now on; null for nobody. Once this has returned, the
    // previous observer is not called any more and may go.
    void SetObserver(CProgressObserver* observer);
    // SetObserver(nullptr), if `observer` is still the one set.
    void RemoveObserver(CProgressObserver* observer);

    // Reads the elapsed time out of `text` and reports it when it is at least one second.
    void ParseProgress(std::string_view text);

protected:
    void OnOutputText(std::string_view text) override { ParseProgress(text); }
    void OnErrorText(std::string_view) override {}

private:
    // Held while the observer is called, so that a change waits for a call under way.
    std::mutex m_observerMutex;
    CProgressObserver* m_pObserver = nullptr;
};

// The process-wide redirector that conversions run through.
CProgressRedirector& GetProgressRedirector();

} // namespace kinovex
