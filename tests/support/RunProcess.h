// SPDX-License-Identifier: MIT
#pragma once
// Runs a program and collects its output and exit code: the one process runner of every test
// program. runProcess takes an exact argument vector (no shell); runShell a shell command line,
// for the pipelines and redirections of the independent readers.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <stdexcept>
#include <string>
#include <vector>

extern char** environ;

namespace varlen::test {

struct ProcessResult {
    int exitCode = -1;
    std::string out;
    std::string err;
    long peakKib = 0;  // the program's peak resident memory (getrusage's ru_maxrss of the child)
};

// With outputGone, standard output is a pipe whose reader has already gone, as after `| head -c0`.
inline ProcessResult runProcess(const std::vector<std::string>& args, const std::string& input = "",
                                bool outputGone = false) {
    int outPipe[2], errPipe[2], inPipe[2];
    if (pipe(outPipe) != 0 || pipe(errPipe) != 0 || pipe(inPipe) != 0) throw std::runtime_error("pipe failed");
    // The reader goes before the child starts: a child quicker than this process would otherwise
    // write into a pipe that still has its reader.
    if (outputGone) {
        close(outPipe[0]);
        outPipe[0] = -1;
    }

    // A child may end before it has read all its input (a refusal up front): writing the rest must
    // give EPIPE here, not kill the test with SIGPIPE. The child gets the default action back.
    static const bool pipeSignalIgnored = (::signal(SIGPIPE, SIG_IGN), true);
    (void)pipeSignalIgnored;
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t pipeSignal;
    sigemptyset(&pipeSignal);
    sigaddset(&pipeSignal, SIGPIPE);
    posix_spawnattr_setsigdefault(&attributes, &pipeSignal);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, inPipe[0], 0);
    posix_spawn_file_actions_adddup2(&actions, outPipe[1], 1);
    posix_spawn_file_actions_adddup2(&actions, errPipe[1], 2);
    for (int fd : {inPipe[0], inPipe[1], outPipe[0], outPipe[1], errPipe[0], errPipe[1]})
        if (fd >= 0) posix_spawn_file_actions_addclose(&actions, fd);

    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);

    pid_t pid = 0;
    const int rc = posix_spawnp(&pid, argv[0], &actions, &attributes, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    close(inPipe[0]);
    close(outPipe[1]);
    close(errPipe[1]);
    if (rc != 0) {
        close(inPipe[1]);
        if (outPipe[0] >= 0) close(outPipe[0]);
        close(errPipe[0]);
        throw std::runtime_error("cannot start " + args[0]);
    }

    // Feed the input and drain both outputs together so that no pipe fills up.
    std::size_t written = 0;
    if (input.empty()) {
        close(inPipe[1]);
        inPipe[1] = -1;
    }
    ProcessResult result;
    bool outOpen = !outputGone, errOpen = true;
    while (outOpen || errOpen || inPipe[1] >= 0) {
        pollfd fds[3] = {{outOpen ? outPipe[0] : -1, POLLIN, 0},
                         {errOpen ? errPipe[0] : -1, POLLIN, 0},
                         {inPipe[1], POLLOUT, 0}};
        if (poll(fds, 3, -1) < 0) break;
        char buffer[65536];
        if (fds[0].revents) {
            const ssize_t n = read(outPipe[0], buffer, sizeof buffer);
            if (n > 0) result.out.append(buffer, static_cast<std::size_t>(n));
            else outOpen = false;
        }
        if (fds[1].revents) {
            const ssize_t n = read(errPipe[0], buffer, sizeof buffer);
            if (n > 0) result.err.append(buffer, static_cast<std::size_t>(n));
            else errOpen = false;
        }
        if (inPipe[1] >= 0 && fds[2].revents) {
            const ssize_t n = write(inPipe[1], input.data() + written, input.size() - written);
            if (n > 0) written += static_cast<std::size_t>(n);
            if (n <= 0 || written == input.size()) {
                close(inPipe[1]);
                inPipe[1] = -1;
            }
        }
    }
    if (outPipe[0] >= 0) close(outPipe[0]);
    close(errPipe[0]);
    int status = 0;
    struct rusage usage {};
    wait4(pid, &status, 0, &usage);
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    result.peakKib = usage.ru_maxrss;
    return result;
}

inline ProcessResult runShell(const std::string& command, const std::string& input = "") {
    return runProcess({"/bin/sh", "-c", command}, input);
}

// A word for a shell command line: single-quoted, inner quotes escaped.
inline std::string shellQuote(const std::string& word) {
    std::string quoted = "'";
    for (const char c : word) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

}  // namespace varlen::test
