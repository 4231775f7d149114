#include "ProgramRun.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace kinovex::test {

Started Start(const std::vector<std::string>& argv, const Environment& environment) {
    std::vector<std::string> variables;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const std::string variable = *entry;
        if (!environment.contains(variable.substr(0, variable.find('='))))
            variables.push_back(variable);
    }
    for (const auto& [name, value] : environment)
        if (value)
            variables.push_back(name + "=" + *value);

    std::vector<char*> args;
    for (const auto& argument : argv)
        args.push_back(const_cast<char*>(argument.c_str()));
    args.push_back(nullptr);
    std::vector<char*> envp;
    for (auto& variable : variables)
        envp.push_back(variable.data());
    envp.push_back(nullptr);

    int output[2];
    int error[2];
    if (pipe2(output, O_CLOEXEC) != 0 || pipe2(error, O_CLOEXEC) != 0)
        return {};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, output[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, error[1], STDERR_FILENO);
    // Whatever this test program was started with, the program gets the ordinary signal
    // dispositions and mask.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t signals;
    sigfillset(&signals);
    posix_spawnattr_setsigdefault(&attributes, &signals);
    sigemptyset(&signals);
    posix_spawnattr_setsigmask(&attributes, &signals);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);
    Started started;
    if (posix_spawn(&started.pid, args[0], &actions, &attributes, args.data(), envp.data()) != 0)
        started.pid = -1;
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    close(output[1]);
    close(error[1]);
    started.output = output[0];
    started.error = error[0];
    return started;
}

std::string Finished::errorText() const {
    std::string text;
    for (const auto& chunk : errorChunks)
        text += chunk;
    return text;
}

Finished Finish(Started started) {
    Finished finished;
    pollfd fds[2] = {{started.output, POLLIN, 0}, {started.error, POLLIN, 0}};
    int open = 2;
    while (open > 0) {
        if (poll(fds, 2, -1) < 0) {
            if (errno == EINTR)
                continue;
            break;
        }
        for (auto& fd : fds) {
            if (fd.fd < 0 || fd.revents == 0)
                continue;
            char buffer[255];
            const ssize_t n = read(fd.fd, buffer, sizeof buffer);
            if (n > 0 && fd.fd == started.error)
                finished.errorChunks.emplace_back(buffer, static_cast<std::size_t>(n));
            else if (n > 0)
                finished.output.append(buffer, static_cast<std::size_t>(n));
            else {
                close(fd.fd);
                fd.fd = -1;
                --open;
            }
        }
    }
    int status = 0;
    waitpid(started.pid, &status, 0);
    finished.signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
    finished.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + finished.signal;
    return finished;
}

Finished Run(const std::vector<std::string>& argv, const Environment& environment) {
    return Finish(Start(argv, environment));
}

} // namespace kinovex::test
