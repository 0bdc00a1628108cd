// The command line a child gets: its arguments split by the Windows rules, and
// the exact line back from GetCommandLineW.
#include "child_program.h"

#include <gtest/gtest.h>

#include <sys/wait.h>

using namespace proctest;

namespace {

// Starts the child with `arguments` after "record <file>" and answers its record.
Record run_recording(const TempDir& dir, const std::wstring& arguments) {
    std::string out = dir.file("out.txt");
    std::wstring line = in_quotes(win_path(child_path())) + L" record " + widen(out);
    if (!arguments.empty()) line += L" " + arguments;
    EXPECT_EQ(0u, run(line));
    Record r = read_record(out);
    EXPECT_EQ(line, r.cmdline);
    return r;
}

// The child started with a plain exec, outside the layer, with the given environment.
Record exec_recording(const TempDir& dir, std::vector<std::string> args, const char* cmdline_env) {
    std::string out = dir.file("exec.txt");
    std::vector<std::string> argv = {child_path(), "record", out};
    argv.insert(argv.end(), args.begin(), args.end());
    pid_t pid = fork();
    if (pid == 0) {
        if (cmdline_env) {
            setenv("WIN32_CMDLINE", cmdline_env, 1);
        } else {
            unsetenv("WIN32_CMDLINE");
        }
        std::vector<char*> raw;
        for (auto& a : argv) raw.push_back(a.data());
        raw.push_back(nullptr);
        execv(raw[0], raw.data());
        _exit(127);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    return read_record(out);
}

}  // namespace

TEST(CommandLine, QuotedArgumentKeepsItsBlanks) {
    TempDir dir;
    Record r = run_recording(dir, L"\"a b\" c\td");
    EXPECT_EQ((std::vector<std::string>{"record", dir.file("out.txt"), "a b", "c", "d"}), r.args);
}

TEST(CommandLine, BackslashesCountOnlyBeforeAQuote) {
    TempDir dir;
    // x\y: literal; c\"d: escaped quote; "e\\": 2n backslashes close the run;
    // f\\\\"g h": four backslashes give two and the quote opens a run.
    Record r = run_recording(dir, L"x\\y c\\\"d \"e\\\\\" f\\\\\\\\\"g h\"");
    ASSERT_EQ(6u, r.args.size());
    EXPECT_EQ("x\\y", r.args[2]);
    EXPECT_EQ("c\"d", r.args[3]);
    EXPECT_EQ("e\\", r.args[4]);
    EXPECT_EQ("f\\\\g h", r.args[5]);
}

TEST(CommandLine, EmptyQuotesAreAnEmptyArgumentAndDoubledQuotesALiteralOne) {
    TempDir dir;
    Record r = run_recording(dir, L"\"\" \"in\"\"side\" end");
    ASSERT_EQ(5u, r.args.size());
    EXPECT_EQ("", r.args[2]);
    EXPECT_EQ("in\"side", r.args[3]);
    EXPECT_EQ("end", r.args[4]);
}

TEST(CommandLine, QuoteInTheMiddleJoinsAdjacentText) {
    TempDir dir;
    Record r = run_recording(dir, L"-o\"Z:\\some dir\" -aoa");
    ASSERT_EQ(4u, r.args.size());
    EXPECT_EQ("-oZ:\\some dir", r.args[2]);
    EXPECT_EQ("-aoa", r.args[3]);
}

TEST(CommandLine, WideTextReachesTheChildAsUtf8AndBackExactly) {
    TempDir dir;
    Record r = run_recording(dir, L"\"下载 目录\" \x00e9t\x00e9");
    ASSERT_EQ(4u, r.args.size());
    EXPECT_EQ("下载 目录", r.args[2]);
    EXPECT_EQ("\xc3\xa9t\xc3\xa9", r.args[3]);
}

TEST(CommandLine, ExtraBlanksArePreservedInTheExactLine) {
    TempDir dir;
    Record r = run_recording(dir, L"  spaced    out  ");
    EXPECT_EQ((std::vector<std::string>{"record", dir.file("out.txt"), "spaced", "out"}), r.args);
}

TEST(CommandLine, ChildDoesNotKeepTheHandedOverLineInItsEnvironment) {
    TempDir dir;
    EXPECT_EQ("absent", run_recording(dir, L"").cmdline_env);
}

TEST(CommandLine, ProgramStartedOutsideTheLayerGetsALineBuiltFromItsArguments) {
    TempDir dir;
    Record r = exec_recording(dir, {"a b", "q\"t", "tail\\", ""}, nullptr);
    std::wstring expected = win_path(child_path()) + L" record " + widen(dir.file("exec.txt")) +
                            L" \"a b\" \"q\\\"t\" tail\\ \"\"";
    EXPECT_EQ(expected, r.cmdline);
}

TEST(CommandLine, HandedOverLineThatDoesNotMatchTheArgumentsIsIgnored) {
    TempDir dir;
    Record r = exec_recording(dir, {"one"}, "\"Z:\\elsewhere\\x.exe\" two three");
    EXPECT_EQ(win_path(child_path()) + L" record " + widen(dir.file("exec.txt")) + L" one",
              r.cmdline);
    EXPECT_EQ("absent", r.cmdline_env);
}

TEST(CommandLine, OwnCommandLineIsAvailable) {
    LPWSTR line = GetCommandLineW();
    ASSERT_NE(nullptr, line);
    EXPECT_NE(0u, wcslen(line));
    EXPECT_EQ(line, GetCommandLineW());
}
