// Runs the helper program base_test_child as a real child process.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace testing_support {

// Runs the program at `program` with the arguments and answers its standard output.
std::string RunAndRead(const std::string& program, const std::vector<std::string>& args);

// A child that runs until Stop (or destruction) closes its standard input.
class HeldChild {
public:
    HeldChild(const std::string& program, const std::vector<std::string>& args);
    ~HeldChild();
    HeldChild(const HeldChild&) = delete;
    HeldChild& operator=(const HeldChild&) = delete;

    // The first line the child printed ("" when it ended first).
    std::string ReadLine();
    int Stop();  // exit status

private:
    pid_t pid_ = -1;
    int to_child_ = -1, from_child_ = -1;
};

}  // namespace testing_support
