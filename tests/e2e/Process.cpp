#include "Process.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <sstream>
#include <stdexcept>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace e2e {

namespace {

int StatusOf(int raw) {
    if (WIFEXITED(raw))
        return WEXITSTATUS(raw);
    if (WIFSIGNALED(raw))
        return 128 + WTERMSIG(raw);
    return -1;
}

// In the child: its own process group, the working folder, the standard handles, then exec.
[[noreturn]] void ExecChild(const std::vector<std::string>& argv, const fs::path& cwd, int out,
                            int err) {
    setpgid(0, 0);
    int in = open("/dev/null", O_RDONLY);
    if (in < 0 || dup2(in, 0) < 0 || dup2(out, 1) < 0 || dup2(err, 2) < 0)
        _exit(126);
    if (chdir(cwd.c_str()) != 0) {
        dprintf(2, "cannot enter %s: %s\n", cwd.c_str(), std::strerror(errno));
        _exit(126);
    }
    std::vector<char*> args;
    for (const auto& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    execvp(args[0], args.data());
    dprintf(2, "cannot run %s: %s\n", args[0], std::strerror(errno));
    _exit(127);
}

bool ReadSome(int fd, std::string& into) {
    char buffer[4096];
    ssize_t n = read(fd, buffer, sizeof buffer);
    if (n > 0) {
        into.append(buffer, static_cast<size_t>(n));
        return true;
    }
    return false;
}

} // namespace

ProcessResult RunProcess(const std::vector<std::string>& argv, const fs::path& cwd,
                         std::chrono::milliseconds hangGuard) {
    int outPipe[2];
    int errPipe[2];
    if (pipe2(outPipe, O_CLOEXEC) != 0 || pipe2(errPipe, O_CLOEXEC) != 0)
        throw std::runtime_error("pipe failed");
    pid_t pid = fork();
    if (pid < 0)
        throw std::runtime_error("fork failed");
    if (pid == 0)
        ExecChild(argv, cwd, outPipe[1], errPipe[1]);
    setpgid(pid, pid);
    close(outPipe[1]);
    close(errPipe[1]);

    ProcessResult result;
    // Output is read until the process itself ends, not until the pipes close: a program under
    // Wine may leave a helper (a wineserver, a child program) holding them.
    const auto deadline = std::chrono::steady_clock::now() + hangGuard;
    int raw = 0;
    for (;;) {
        pollfd fds[2] = {{outPipe[0], POLLIN, 0}, {errPipe[0], POLLIN, 0}};
        if (poll(fds, 2, 5) > 0) {
            if (fds[0].revents & POLLIN)
                ReadSome(outPipe[0], result.out);
            if (fds[1].revents & POLLIN)
                ReadSome(errPipe[0], result.err);
        }
        if (waitpid(pid, &raw, WNOHANG) == pid)
            break;
        if (std::chrono::steady_clock::now() > deadline) {
            kill(-pid, SIGKILL);
            waitpid(pid, &raw, 0);
            result.hung = true;
            break;
        }
    }
    fcntl(outPipe[0], F_SETFL, O_NONBLOCK);
    fcntl(errPipe[0], F_SETFL, O_NONBLOCK);
    while (ReadSome(outPipe[0], result.out)) {
    }
    while (ReadSome(errPipe[0], result.err)) {
    }
    close(outPipe[0]);
    close(errPipe[0]);
    result.status = StatusOf(raw);
    return result;
}

BackgroundProcess::BackgroundProcess(const std::vector<std::string>& argv, const fs::path& cwd,
                                     const fs::path& log) {
    int fd = open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd < 0)
        throw std::runtime_error("cannot open " + log.string());
    pid_t pid = fork();
    if (pid < 0) {
        close(fd);
        throw std::runtime_error("fork failed");
    }
    if (pid == 0)
        ExecChild(argv, cwd, fd, fd);
    setpgid(pid, pid);
    close(fd);
    pid_ = pid;
}

BackgroundProcess::~BackgroundProcess() {
    Kill();
}

BackgroundProcess::BackgroundProcess(BackgroundProcess&& other) noexcept
    : pid_(other.pid_), status_(other.status_) {
    other.pid_ = -1;
}

BackgroundProcess& BackgroundProcess::operator=(BackgroundProcess&& other) noexcept {
    if (this != &other) {
        Kill();
        pid_ = other.pid_;
        status_ = other.status_;
        other.pid_ = -1;
    }
    return *this;
}

std::optional<int> BackgroundProcess::Poll() {
    if (pid_ <= 0 || status_)
        return status_;
    int raw = 0;
    if (waitpid(pid_, &raw, WNOHANG) == pid_)
        status_ = StatusOf(raw);
    return status_;
}

std::optional<int> BackgroundProcess::Wait(std::chrono::milliseconds guard) {
    const auto deadline = std::chrono::steady_clock::now() + guard;
    while (!Poll() && pid_ > 0 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    return status_;
}

void BackgroundProcess::Kill() {
    if (pid_ <= 0 || Poll())
        return;
    kill(-pid_, SIGKILL);
    int raw = 0;
    if (waitpid(pid_, &raw, 0) == pid_)
        status_ = StatusOf(raw);
}

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw std::runtime_error("cannot read " + path.string());
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

void WriteFile(const fs::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out)
        throw std::runtime_error("cannot write " + path.string());
}

} // namespace e2e
