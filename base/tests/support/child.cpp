#include "support/child.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

namespace testing_support {

namespace {

std::vector<char*> Argv(const std::string& program, const std::vector<std::string>& args) {
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    return argv;
}

}  // namespace

std::string RunAndRead(const std::string& program, const std::vector<std::string>& args) {
    HeldChild child(program, args);
    std::string out, line;
    while (!(line = child.ReadLine()).empty()) out += line + "\n";
    child.Stop();
    return out;
}

HeldChild::HeldChild(const std::string& program, const std::vector<std::string>& args) {
    int in[2], out[2];
    if (pipe(in) != 0) return;
    if (pipe(out) != 0) {
        close(in[0]), close(in[1]);
        return;
    }
    std::vector<char*> argv = Argv(program, args);
    pid_ = fork();
    if (pid_ == 0) {
        dup2(in[0], 0);
        dup2(out[1], 1);
        close(in[0]), close(in[1]), close(out[0]), close(out[1]);
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    close(in[0]);
    close(out[1]);
    to_child_ = in[1];
    from_child_ = out[0];
}

HeldChild::~HeldChild() { Stop(); }

std::string HeldChild::ReadLine() {
    std::string line;
    char c;
    while (from_child_ >= 0 && read(from_child_, &c, 1) == 1) {
        if (c == '\n') return line;
        line += c;
    }
    return line;
}

int HeldChild::Stop() {
    if (pid_ <= 0) return -1;
    if (to_child_ >= 0) close(to_child_);
    if (from_child_ >= 0) close(from_child_);
    to_child_ = from_child_ = -1;
    int status = 0;
    waitpid(pid_, &status, 0);
    pid_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace testing_support
