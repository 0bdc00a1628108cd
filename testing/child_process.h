// A program run as a child, in a process group of its own (with whatever it starts
// itself), its standard input and output piped to the caller: lines in, lines out.
#pragma once

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace testing_support {

class ChildProcess {
public:
    ~ChildProcess() { Kill(); }
    bool Start(const std::string& program, const std::vector<std::string>& args = {}) {
        std::vector<char*> argv{const_cast<char*>(program.c_str())};
        for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        int in[2], out[2];
        if (pipe(in) != 0 || pipe(out) != 0) return false;
        if ((pid_ = group_ = fork()) == 0) {
            setpgid(0, 0);
            dup2(in[0], 0);
            dup2(out[1], 1);
            execv(program.c_str(), argv.data());
            _exit(127);
        }
        setpgid(pid_, pid_);
        close(in[0]);
        close(out[1]);
        in_ = in[1];
        out_ = out[0];
        return pid_ > 0;
    }
    bool Send(const std::string& line) {
        return write(in_, (line + "\n").data(), line.size() + 1) == ssize_t(line.size() + 1);
    }
    // The first line from now on that starts with prefix; empty at the end of the output
    // or after the time-out.
    std::string Expect(const std::string& prefix, int timeout_ms = 60000) {
        for (;;) {
            for (size_t end; (end = buffer_.find('\n')) != std::string::npos;) {
                const std::string line = buffer_.substr(0, end);
                buffer_.erase(0, end + 1);
                if (line.rfind(prefix, 0) == 0) return line;
            }
            pollfd p{out_, POLLIN, 0};
            char chunk[4096];
            const ssize_t n = poll(&p, 1, timeout_ms) > 0 ? read(out_, chunk, sizeof(chunk)) : 0;
            if (n <= 0) return "";
            buffer_.append(chunk, size_t(n));
        }
    }
    // The exit code; -1 when it did not end within 30 s.
    int Wait() {
        for (int i = 0; pid_ > 0 && i < 3000;
             ++i, std::this_thread::sleep_for(std::chrono::milliseconds(10))) {
            int status = 0;
            if (waitpid(pid_, &status, WNOHANG) != pid_) continue;
            pid_ = -1;
            return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        }
        return -1;
    }
    void Kill() {
        if (group_ > 0) kill(-group_, SIGKILL);
        if (pid_ > 0) waitpid(pid_, nullptr, 0);
        pid_ = group_ = -1;
        for (int* fd : {&in_, &out_}) close(std::exchange(*fd, -1));
    }
    pid_t pid() const { return pid_; }

private:
    pid_t pid_ = -1, group_ = -1;
    int in_ = -1, out_ = -1;
    std::string buffer_;
};

}  // namespace testing_support
