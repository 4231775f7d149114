#include "core/convert/CConsoleRedirector.h"

#include "core/convert/CommandLine.h"
#include "core/convert/ProgressParse.h"
#include "platform/ProgramFolder.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <sys/poll.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <system_error>
#include <vector>

extern char** environ;

namespace kinovex {
namespace {

bool IsExecutableFile(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
           access(path.c_str(), X_OK) == 0;
}

// The program a command names: a name with a folder in it stands as it is; a bare name is
// looked for beside our own program first (the encoder front-end lives there), then on PATH.
// Empty when there is none.
std::string ResolveProgram(const std::string& name) {
    if (name.empty())
        return {};
    if (name.find('/') != std::string::npos)
        return name;
    const std::string folder = ProgramFolder();
    if (!folder.empty() && IsExecutableFile(folder + "/" + name))
        return folder + "/" + name;
    const char* path = std::getenv("PATH");
    std::string_view rest = path != nullptr ? path : "/usr/local/bin:/usr/bin:/bin";
    for (;;) {
        const auto colon = rest.find(':');
        const std::string_view dir = rest.substr(0, colon);
        std::string candidate = dir.empty() ? std::string(".") : std::string(dir);
        candidate += '/';
        candidate += name;
        if (IsExecutableFile(candidate))
            return candidate;
        if (colon == std::string_view::npos)
            break;
        rest.remove_prefix(colon + 1);
    }
    return {};
}

void CloseFd(int& fd) {
    if (fd >= 0) {
        close(fd);
        fd = -1;
    }
}

bool HasChildEnded(pid_t child) {
    siginfo_t info{};
    // WNOWAIT leaves the child to be collected by StopRedirect: until then its process id, and
    // so its process group id, cannot be given to anybody else.
    if (waitid(P_PID, static_cast<id_t>(child), &info, WEXITED | WNOHANG | WNOWAIT) != 0)
        return errno == ECHILD;
    return info.si_pid != 0;
}

} // namespace

// --- CReaderThreadHandle ---------------------------------------------------------------------

void CReaderThreadHandle::Wait() {
    std::unique_lock lock(m_mutex);
    m_finishedChanged.wait(lock, [this] { return m_bFinished; });
}

bool CReaderThreadHandle::WaitFor(unsigned milliseconds) {
    std::unique_lock lock(m_mutex);
    return m_finishedChanged.wait_for(lock, std::chrono::milliseconds(milliseconds),
                                      [this] { return m_bFinished; });
}

bool CReaderThreadHandle::Finished() {
    std::lock_guard lock(m_mutex);
    return m_bFinished;
}

void CReaderThreadHandle::MarkFinished() {
    std::lock_guard lock(m_mutex);
    m_bFinished = true;
    m_finishedChanged.notify_all();
}

// --- CConsoleRedirector ----------------------------------------------------------------------

CConsoleRedirector::~CConsoleRedirector() {
    // A subclass stops the run in its own destructor already (the reader calls its overrides);
    // this is for the case where nothing was running then.
    CConsoleRedirector::StopRedirect();
}

std::shared_ptr<CReaderThreadHandle> CConsoleRedirector::ReaderThread() {
    std::lock_guard lock(m_mutex);
    return m_hReaderThread;
}

bool CConsoleRedirector::IsChildRunning() {
    std::lock_guard lock(m_mutex);
    return m_hChild > 0 && !HasChildEnded(m_hChild);
}

std::optional<int> CConsoleRedirector::ChildExitStatus() {
    std::lock_guard lock(m_mutex);
    return m_nChildExitStatus;
}

void CConsoleRedirector::FailStart(int error) {
    char text[64];
    std::snprintf(text, sizeof text, "Redirect console error: %x\r\n",
                  static_cast<unsigned>(error));
    OnErrorText(text);
    StopRedirect();
    errno = error;
}

bool CConsoleRedirector::StartRedirect(const std::string& command) {
    // One run at a time: whatever is left of an earlier run ends first.
    StopRedirect();

    int output[2] = {-1, -1};
    int input[2] = {-1, -1};
    if (pipe2(output, O_CLOEXEC) != 0) {
        FailStart(errno);
        return false;
    }
    if (pipe2(input, O_CLOEXEC) != 0) {
        const int error = errno;
        CloseFd(output[0]);
        CloseFd(output[1]);
        FailStart(error);
        return false;
    }
    // Only our end is non-blocking; the child's end keeps the ordinary blocking writes.
    fcntl(output[0], F_SETFL, fcntl(output[0], F_GETFL) | O_NONBLOCK);

    int error = 0;
    {
        std::lock_guard lock(m_mutex);
        m_nChildExitStatus.reset();
        m_hOutputRead = output[0];
        m_hInputWrite = input[1];
        const bool started = StartChild(command, output[1], input[0]);
        error = errno;
        // The child has its copies; ours would keep the pipe open after the child has ended.
        CloseFd(output[1]);
        CloseFd(input[0]);
        if (started) {
            m_hStopEvent = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
            error = errno;
        }
        if (started && m_hStopEvent >= 0) {
            auto handle = std::make_shared<CReaderThreadHandle>();
            try {
                // Created under the lock, so the thread's own StopRedirect finds its handle.
                handle->m_thread = std::thread(&CConsoleRedirector::ReaderThreadProc, this, handle,
                                               m_hOutputRead, m_hStopEvent, m_hChild);
                m_hReaderThread = std::move(handle);
                return true;
            } catch (const std::system_error& e) {
                error = e.code().value();
            }
        }
    }
    FailStart(error != 0 ? error : EAGAIN);
    return false;
}

bool CConsoleRedirector::StartChild(const std::string& command, int outputWrite, int inputRead) {
    const std::vector<std::string> args = SplitCommandLine(command);
    const std::string program = ResolveProgram(args.empty() ? std::string() : args.front());
    if (program.empty()) {
        errno = ENOENT;
        return false;
    }
    std::vector<char*> argv;
    for (const std::string& arg : args)
        argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attributes;
    posix_spawn_file_actions_init(&actions);
    posix_spawnattr_init(&attributes);
    posix_spawn_file_actions_adddup2(&actions, inputRead, STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, outputWrite, STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, outputWrite, STDERR_FILENO);

    // A group of its own, so that stopping reaches everything the child starts; the ordinary
    // signal dispositions and mask, whatever our threads have set up.
    sigset_t noSignals;
    sigset_t defaults;
    sigemptyset(&noSignals);
    sigemptyset(&defaults);
    for (int signal :
         {SIGPIPE, SIGTERM, SIGINT, SIGQUIT, SIGHUP, SIGCHLD, SIGALRM, SIGUSR1, SIGUSR2})
        sigaddset(&defaults, signal);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK |
                                              POSIX_SPAWN_SETSIGDEF);
    posix_spawnattr_setpgroup(&attributes, 0);
    posix_spawnattr_setsigmask(&attributes, &noSignals);
    posix_spawnattr_setsigdefault(&attributes, &defaults);

    pid_t child = 0;
    const int result =
        posix_spawn(&child, program.c_str(), &actions, &attributes, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    if (result != 0) {
        errno = result;
        return false;
    }
    m_hChild = child;
    m_dwChildId = child;
    return true;
}

CConsoleRedirector::Drain CConsoleRedirector::DrainOutput(int outputFd) {
    char buffer[256];
    for (;;) {
        int available = 0;
        if (ioctl(outputFd, FIONREAD, &available) != 0)
            break;
        if (available <= 0) {
            // Nothing waiting: either the writers are still there, or they have all gone.
            pollfd state{outputFd, POLLIN, 0};
            if (poll(&state, 1, 0) < 0 || (state.revents & POLLIN) != 0)
                return Drain::More;
            if ((state.revents & (POLLHUP | POLLERR)) != 0) {
                OnOutputText(kChildEndedText);
                return Drain::Ended;
            }
            return Drain::More;
        }
        const auto wanted = static_cast<std::size_t>(std::min(available, 255));
        const ssize_t got = read(outputFd, buffer, wanted);
        if (got == 0) {
            OnOutputText(kChildEndedText);
            return Drain::Ended;
        }
        if (got < 0) {
            if (errno == EAGAIN || errno == EINTR)
                return Drain::More;
            break;
        }
        buffer[got] = '\0';
        OnOutputText(std::string_view(buffer, static_cast<std::size_t>(got)));
    }
    OnErrorText(kReadErrorText);
    return Drain::Error;
}

void CConsoleRedirector::ReaderThreadProc(std::shared_ptr<CReaderThreadHandle> self, int outputFd,
                                          int stopFd, pid_t child) {
    m_dwReaderThreadId = static_cast<std::uint32_t>(gettid());
    if (DrainOutput(outputFd) == Drain::More) {
        for (;;) {
            pollfd stop{stopFd, POLLIN, 0};
            const int ready = poll(&stop, 1, static_cast<int>(m_dwPollInterval.load()));
            if (ready > 0 && (stop.revents & POLLIN) != 0)
                break;
            if (HasChildEnded(child)) {
                DrainOutput(outputFd); // what the child wrote last
                break;
            }
            if (DrainOutput(outputFd) != Drain::More)
                break;
        }
    }
    StopRedirect();
    // The last touch of this object was StopRedirect; from here on it may be destroyed.
    self->MarkFinished();
}

void CConsoleRedirector::StopRedirect() {
    std::shared_ptr<CReaderThreadHandle> thread;
    bool onReaderThread = false;
    {
        std::lock_guard lock(m_mutex);
        thread = m_hReaderThread;
        if (thread) {
            onReaderThread = thread->m_thread.get_id() == std::this_thread::get_id();
            if (!onReaderThread && m_hStopEvent >= 0) {
                const std::uint64_t one = 1;
                [[maybe_unused]] const auto written = write(m_hStopEvent, &one, sizeof one);
            }
        }
    }
    if (thread && !onReaderThread && !thread->WaitFor(5000)) {
        OnErrorText(kThreadDeadText);
        // A thread cannot be ended from outside without leaving its locks and this object in
        // pieces, so the child's group is ended (its pipe breaks) and the wait goes on.
        {
            std::lock_guard lock(m_mutex);
            if (m_hChild > 0)
                kill(-m_hChild, SIGKILL);
        }
        thread->Wait();
    }

    std::lock_guard lock(m_mutex);
    if (m_hReaderThread) {
        // The reader releases its own handle as its last step and cannot join itself.
        if (m_hReaderThread->m_thread.get_id() == std::this_thread::get_id())
            m_hReaderThread->m_thread.detach();
        else if (m_hReaderThread->m_thread.joinable())
            m_hReaderThread->m_thread.join();
        m_hReaderThread.reset();
    }
    CloseFd(m_hStopEvent);
    if (m_hChild > 0) {
        // The whole group, while the child is still uncollected: its id cannot have been
        // reused yet, so the signal reaches nobody else.
        kill(-m_hChild, SIGKILL);
        int status = 0;
        pid_t collected;
        do {
            collected = waitpid(m_hChild, &status, 0);
        } while (collected < 0 && errno == EINTR);
        if (collected == m_hChild) {
            if (WIFEXITED(status))
                m_nChildExitStatus = WEXITSTATUS(status);
            else if (WIFSIGNALED(status))
                m_nChildExitStatus = 128 + WTERMSIG(status);
        }
        m_hChild = 0;
    }
    CloseFd(m_hInputWrite);
    CloseFd(m_hOutputRead);
    m_dwReaderThreadId = 0;
}

// --- CProgressRedirector ---------------------------------------------------------------------

CProgressRedirector::~CProgressRedirector() {
    // Here, not in the base: the reader thread calls OnOutputText until it has ended.
    StopRedirect();
}

void CProgressRedirector::SetObserver(CProgressObserver* observer) {
    std::lock_guard lock(m_observerMutex);
    m_pObserver = observer;
}

void CProgressRedirector::RemoveObserver(CProgressObserver* observer) {
    std::lock_guard lock(m_observerMutex);
    if (m_pObserver == observer)
        m_pObserver = nullptr;
}

void CProgressRedirector::ParseProgress(std::string_view text) {
    const long seconds = ParseProgressSeconds(text);
    if (seconds <= 0)
        return;
    std::lock_guard lock(m_observerMutex);
    if (m_pObserver != nullptr)
        m_pObserver->OnEncodedSeconds(
            static_cast<int>(std::min<long>(seconds, std::numeric_limits<int>::max())));
}

CProgressRedirector& GetProgressRedirector() {
    static CProgressRedirector redirector;
    return redirector;
}

} // namespace kinovex
