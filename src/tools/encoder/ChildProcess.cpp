#include "tools/encoder/ChildProcess.h"

#include <array>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace kinovex {

namespace {

// The child that signals are passed on to; 0 when there is none. Read by the signal handler.
volatile sig_atomic_t g_childPid = 0;

constexpr std::array<int, 3> kForwardedSignals = {SIGTERM, SIGINT, SIGHUP};

extern "C" void ForwardSignal(int signal) {
    const int saved = errno;
    if (g_childPid > 0)
        kill(static_cast<pid_t>(g_childPid), signal);
    errno = saved;
}

class Fd {
public:
    Fd() = default;
    explicit Fd(int fd) : m_fd(fd) {}
    ~Fd() { reset(); }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return m_fd; }
    void reset(int fd = -1) {
        if (m_fd >= 0)
            close(m_fd);
        m_fd = fd;
    }

private:
    int m_fd = -1;
};

bool MakePipe(Fd& readEnd, Fd& writeEnd) {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0)
        return false;
    readEnd.reset(fds[0]);
    writeEnd.reset(fds[1]);
    return true;
}

// What the child's standard descriptors become; -1 keeps the front-end's own.
struct ChildFds {
    int input = -1;
    int output = -1;
    int error = -1;
};

// Forks and execs. Everything the child does between fork and exec is async-signal-safe, and an
// exec failure comes back through a close-on-exec pipe, so the caller can tell it apart from an
// encoder that ran and failed. The child runs with the signal mask `childMask`.
pid_t Spawn(const std::string& path, const std::vector<std::string>& argv, const ChildFds& fds,
            const sigset_t& childMask, std::string* failure) {
    std::vector<char*> pointers;
    pointers.reserve(argv.size() + 1);
    for (const auto& argument : argv)
        pointers.push_back(const_cast<char*>(argument.c_str()));
    pointers.push_back(nullptr);

    Fd statusRead;
    Fd statusWrite;
    if (!MakePipe(statusRead, statusWrite)) {
        *failure = std::string("cannot create a pipe: ") + std::strerror(errno);
        return -1;
    }

    const pid_t parent = getpid();
    const pid_t pid = fork();
    if (pid < 0) {
        *failure = std::string("cannot start a process: ") + std::strerror(errno);
        return -1;
    }
    if (pid == 0) {
        // The child must never outlive the front-end; the parent may already have gone before
        // this line ran.
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (getppid() != parent)
            _exit(127);
        const int targets[3] = {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO};
        const int sources[3] = {fds.input, fds.output, fds.error};
        for (int i = 0; i < 3; ++i)
            if (sources[i] >= 0 && dup2(sources[i], targets[i]) < 0)
                _exit(127);
        sigprocmask(SIG_SETMASK, &childMask, nullptr);
        execv(path.c_str(), pointers.data());
        const int error = errno;
        ssize_t ignored = write(statusWrite.get(), &error, sizeof error);
        static_cast<void>(ignored);
        _exit(127);
    }

    statusWrite.reset();
    int error = 0;
    ssize_t n;
    do
        n = read(statusRead.get(), &error, sizeof error);
    while (n < 0 && errno == EINTR);
    if (n == static_cast<ssize_t>(sizeof error)) {
        *failure = "cannot run " + path + ": " + std::strerror(error);
        int status;
        while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
        return -1;
    }
    return pid;
}

// Waits for the child to end and reaps it. Until it has ended, forwarded signals still reach it;
// the reaping itself runs with them blocked, so no signal can hit a recycled process id.
int WaitForChild(pid_t pid, const sigset_t& forwarded) {
    siginfo_t info{};
    while (waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOWAIT) < 0 && errno == EINTR) {
    }
    sigset_t previous;
    sigprocmask(SIG_BLOCK, &forwarded, &previous);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    g_childPid = 0;
    sigprocmask(SIG_SETMASK, &previous, nullptr);
    return ExitStatusOf(status);
}

} // namespace

int ExitStatusOf(int waitStatus) {
    if (WIFSIGNALED(waitStatus))
        return 128 + WTERMSIG(waitStatus);
    if (WIFEXITED(waitStatus))
        return WEXITSTATUS(waitStatus);
    return 255;
}

int RunWithErrorOutput(const std::string& path, const std::vector<std::string>& argv,
                       const std::function<void(std::string_view)>& onErrorOutput,
                       std::string* failure) {
    Fd errorRead;
    Fd errorWrite;
    if (!MakePipe(errorRead, errorWrite)) {
        *failure = std::string("cannot create a pipe: ") + std::strerror(errno);
        return 127;
    }

    // Hold the forwarded signals back until the child's id is known, so none is lost in between.
    sigset_t forwarded;
    sigemptyset(&forwarded);
    for (int signal : kForwardedSignals)
        sigaddset(&forwarded, signal);
    sigset_t original;
    sigprocmask(SIG_BLOCK, &forwarded, &original);

    const pid_t pid = Spawn(path, argv, {-1, -1, errorWrite.get()}, original, failure);
    if (pid < 0) {
        sigprocmask(SIG_SETMASK, &original, nullptr);
        return 127;
    }
    errorWrite.reset();

    g_childPid = pid;
    std::array<struct sigaction, kForwardedSignals.size()> previous{};
    std::array<bool, kForwardedSignals.size()> installed{};
    for (std::size_t i = 0; i < kForwardedSignals.size(); ++i) {
        sigaction(kForwardedSignals[i], nullptr, &previous[i]);
        // A signal the front-end was told to ignore (started with nohup, say) stays ignored; the
        // child inherited that too.
        if (previous[i].sa_handler == SIG_IGN)
            continue;
        struct sigaction action {};
        action.sa_handler = ForwardSignal;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        installed[i] = sigaction(kForwardedSignals[i], &action, nullptr) == 0;
    }
    sigprocmask(SIG_SETMASK, &original, nullptr);

    std::array<char, 16384> buffer;
    for (;;) {
        const ssize_t n = read(errorRead.get(), buffer.data(), buffer.size());
        if (n > 0)
            onErrorOutput(std::string_view(buffer.data(), static_cast<std::size_t>(n)));
        else if (n == 0 || errno != EINTR)
            break;
    }

    // Should reading have failed, the encoder must not block on a pipe nobody reads any more.
    errorRead.reset();
    const int status = WaitForChild(pid, forwarded);
    for (std::size_t i = 0; i < kForwardedSignals.size(); ++i)
        if (installed[i])
            sigaction(kForwardedSignals[i], &previous[i], nullptr);
    return status;
}

std::optional<std::string> RunCapturingOutput(const std::string& path,
                                              const std::vector<std::string>& argv) {
    Fd outputRead;
    Fd outputWrite;
    Fd nothing(open("/dev/null", O_RDWR | O_CLOEXEC));
    if (nothing.get() < 0 || !MakePipe(outputRead, outputWrite))
        return std::nullopt;

    sigset_t mask;
    sigprocmask(SIG_SETMASK, nullptr, &mask);
    std::string failure;
    const pid_t pid =
        Spawn(path, argv, {nothing.get(), outputWrite.get(), nothing.get()}, mask, &failure);
    if (pid < 0)
        return std::nullopt;
    outputWrite.reset();

    std::string output;
    std::array<char, 4096> buffer;
    for (;;) {
        const ssize_t n = read(outputRead.get(), buffer.data(), buffer.size());
        if (n > 0)
            output.append(buffer.data(), static_cast<std::size_t>(n));
        else if (n == 0 || errno != EINTR)
            break;
    }
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (!WIFEXITED(status))
        return std::nullopt;
    return output;
}

} // namespace kinovex
