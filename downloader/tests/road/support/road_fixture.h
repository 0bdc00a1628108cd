// The client in real processes against the demo platform: a private folder for all it
// writes (drive C:, the temporary, data and runtime folders, the engine's task store),
// the demo server serving the installer and taking the statistics requests (port 80
// mapped to it), and the engine file pointing there.
#pragma once

#include <gtest/gtest.h>
#include <sys/types.h>

#include <memory>
#include <string>
#include <vector>

#include "testing/scoped_env.h"
#include "testing/temp_dir.h"
#include "tools/demo-server/testing/demo_server_process.h"

namespace roadtest {

// A client program in a process group of its own (with the copies it starts), its standard
// input and output piped to the test.
class Client {
public:
    ~Client() { Kill(); }
    bool Start(const std::string& program);
    bool Send(const std::string& line);
    // The first line from now on that starts with prefix; empty at the end or the time-out.
    std::string Expect(const std::string& prefix, int timeout_ms = 60000);
    int Wait();  // the exit code, -1 when it did not end within 30 s
    pid_t pid() const { return pid_; }
    void Kill();

private:
    pid_t pid_ = -1, group_ = -1;
    int in_ = -1, out_ = -1;
    std::string buffer_;
};

class RoadTest : public ::testing::Test {
protected:
    void SetUp() override;
    // Serves the bytes as the installer; the engine file gets their size and MD5, or a wrong one.
    void Serve(const std::string& bytes, bool wrong_md5 = false);
    // The program copied into a folder of its own, beside a log.ini that enables the log.
    std::string Install(const char* program);
    std::string ReadC(const std::string& path) const;
    std::vector<std::string> Reports();  // the statistics queries, as they arrived
    std::string ExpectedQuery(int status);
    // Today's log in UTF-8 lines, checking the byte-order mark stands once, at the start,
    // and every line has the logger's head; none while there is no log.
    std::vector<std::string> LogLines();

    testing_support::TempDir dir_;
    demo::DemoServer server_;
    std::string payload_;
    std::vector<std::unique_ptr<testing_support::ScopedEnv>> env_;
};

}  // namespace roadtest
