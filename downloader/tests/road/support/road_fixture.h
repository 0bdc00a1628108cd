// The client in real processes against the demo platform: a private folder for
// everything it writes (drive C:, the temporary, data and runtime folders, the
// engine's task store), the demo server serving the installer and taking the
// statistics requests (port 80 mapped to it), and the engine file pointing there.
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

// One run of a client program, its standard input and output piped to the test.
class Client {
public:
    Client() = default;
    ~Client();
    Client(const Client&) = delete;
    Client& operator=(const Client&) = delete;

    bool Start(const std::string& program);
    void Send(const std::string& line);
    // Reads lines up to the first that starts with prefix and answers it; empty at the
    // end of the output or after the time-out.
    std::string Expect(const std::string& prefix, int timeout_ms = 60000);
    // The exit code, or -1 when it did not end in time.
    int Wait(int timeout_ms = 30000);
    void Kill();
    pid_t pid() const { return pid_; }

private:
    pid_t pid_ = -1;
    int in_ = -1, out_ = -1;
    std::string buffer_;
    std::vector<pid_t> copies_;  // copies it started itself (a restart)
};

class RoadTest : public ::testing::Test {
protected:
    void SetUp() override;
    // Serves these bytes as the installer; the engine file gets their size and MD5
    // (or a wrong MD5).
    void Serve(const std::string& bytes, bool wrong_md5 = false);
    // The program copied into a folder of its own, beside a log.ini that enables the log.
    std::string Install(const char* program);
    std::string ReadC(const std::string& path) const;  // a file under drive C:
    // The statistics requests' queries, in the order they arrived.
    std::vector<std::string> Reports();
    std::string ExpectedQuery(int status);
    // The day's log as UTF-8 lines, after checking its byte-order mark stands once at
    // its start and every line has the logger's head.
    std::vector<std::string> LogLines(const std::string& program_dir);

    testing_support::TempDir dir_;
    demo::DemoServer server_;
    std::string payload_;
    std::vector<std::unique_ptr<testing_support::ScopedEnv>> env_;
};

}  // namespace roadtest
