#include "base/log.h"

#include <fcntl.h>
#include <unistd.h>

#include <regex>
#include <thread>

#include "support/base_test.h"

namespace {

std::string Head(const char* category, const char* level, const char* time = "10:20:30") {
    return "[" + std::to_string(GetCurrentProcessId()) + "][" +
           std::to_string(GetCurrentThreadId()) + "][" + category + "]" + time + " " + level + ": ";
}

// The logger's lines in a file of the test's own; every category's level is put back.
class LogTest : public ::testing::Test {
protected:
    ~LogTest() override {
        for (int c = LCAT_ALL; c <= LCAT_INI; ++c) CFileLog::ReportingLevel(c) = LL_DEBUG;
    }
    std::u16string Lines() const { return log_.Units(); }
    static std::u16string U16(const std::string& ascii) { return {ascii.begin(), ascii.end()}; }

    ScopedEnv time_{"WIN32_FIXED_TIME", "2026-01-05T10:20:30"};
    base_test::LogCapture log_;
};

// "[pid][tid][CATEGORY]HH:mm:ss LEVEL: " message "\r\n", on the 24-hour clock; levels and
// categories outside the tables show their numbers, and a category beyond the table is
// filtered like category 0.
TEST_F(LogTest, WritesExactHeadMessageAndLineEndAsUtf16le) {
    LOG_MESSAGE << "started " << 42 << L" wide " << -7 << " " << 4294967295u << " "
                << static_cast<int64_t>(-5000000000) << " " << static_cast<uint64_t>(1) << 63;
    LOG_ERROR << std::string("code:") << std::wstring(L"x") << 5u;
    LOG_MESSAGE;
    LOG_MESSAGE << "first\r\nsecond";
    CFileLog::ReportingLevel(LCAT_ALL) = 7;
    EXPECT_EQ(&CFileLog::ReportingLevel(9), &CFileLog::ReportingLevel(LCAT_ALL));
    EXPECT_EQ(&CFileLog::ReportingLevel(-1), &CFileLog::ReportingLevel(LCAT_ALL));
    BASE_LOG(7, 9) << "deep";
    BASE_LOG(-2, LCAT_ALL) << "below";
    BASE_LOG(8, LCAT_ALL) << "filtered";
    ScopedEnv afternoon("WIN32_FIXED_TIME", "2026-01-05T15:04:05");
    EXPECT_EQ(CFileLog::NowTime(), "15:04:05");
    LOG_MESSAGE << "pm";
    EXPECT_EQ(Lines(),
              U16(Head("ALL", "MESSAGE") + "started 42 wide -7 4294967295 -5000000000 163\r\n" +
                  Head("ALL", "ERROR") + "code:x5\r\n" + Head("ALL", "MESSAGE") + "\r\n" +
                  Head("ALL", "MESSAGE") + "first\r\nsecond\r\n" + Head("9", "7") + "\t\tdeep\r\n" +
                  Head("ALL", "-2") + "below\r\n" + Head("ALL", "MESSAGE", "15:04:05") + "pm\r\n"));
    EXPECT_EQ(CFileLog::LevelName(LL_INFO) + CFileLog::CategoryName(LCAT_INI), "INFOINI");
}

// Filtered statements, and all of them without a stream, evaluate none of their pieces.
TEST_F(LogTest, FiltersByCategoryLevelWithoutEvaluatingPieces) {
    int evaluations = 0;
    auto Counted = [](int& n) { return ++n, 1; };
    LOG_INFO << "info " << Counted(evaluations);
    LOG_DEBUG << "debug " << Counted(evaluations);
    BASE_LOG(LL_WARNING, LCAT_VIEW) << "view warning " << Counted(evaluations);
    EXPECT_EQ(evaluations, 1);
    LOG_FATAL << "fatal";
    LOG_WARNING << "warning";
    CFileLog::ReportingLevel(LCAT_INI) = LL_ERROR;
    BASE_LOG(LL_WARNING, LCAT_INI) << "hidden " << Counted(evaluations);
    BASE_LOG(LL_ERROR, LCAT_INI) << "ini error";
    EXPECT_EQ(evaluations, 1);
    COutput2FILE::Stream() = nullptr;
    LOG_FATAL << "gone " << Counted(evaluations);
    COutput2FILE::Output(L"direct\r\n");
    EXPECT_EQ(evaluations, 1);
    EXPECT_EQ(Lines(), U16(Head("VIEW", "WARNING") + "view warning 1\r\n" + Head("ALL", "FATAL") +
                           "fatal\r\n" + Head("ALL", "WARNING") + "warning\r\n" +
                           Head("INI", "ERROR") + "ini error\r\n"));
}

TEST_F(LogTest, NarrowChineseTextAndAstralCharactersReachTheFileAsUtf16) {
    LOG_ERROR << "错误码：" << 5u << L"下载器" << L"\U0001F600";
    LOG_ERROR << "bad \xFF\xFE piece" << std::string("|kept");
    // A piece that is not valid text is dropped; the rest of the line stays.
    const std::u16string head = U16(Head("ALL", "ERROR"));
    EXPECT_EQ(Lines(), head + u"错误码：5下载器\U0001F600\r\n" + head + u"|kept\r\n");
}

TEST_F(LogTest, ConcurrentStatementsGiveWholeLines) {
    constexpr int kThreads = 8, kLines = 200;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([t] {
            for (int i = 0; i < kLines; ++i)
                LOG_MESSAGE << "thread " << t << " line " << i << " " << std::string(40, 'x');
        });
    for (auto& th : threads) th.join();
    // Whole lines one after another, each thread's in the order it wrote them.
    const std::u16string units = Lines();
    const std::string text(units.begin(), units.end());  // all ASCII here
    const std::regex line(
        R"(\[\d+\]\[\d+\]\[ALL\]10:20:30 MESSAGE: thread (\d) line (\d+) x{40}\r\n)");
    std::vector<int> next(kThreads, 0);
    long covered = 0;
    for (std::sregex_iterator m(text.begin(), text.end(), line), end; m != end; ++m) {
        ASSERT_EQ(m->position(), covered) << text.substr(covered, 200);
        covered += m->length();
        EXPECT_EQ(std::stoi((*m)[2]), next[std::stoi((*m)[1])]++);
    }
    EXPECT_EQ(size_t(covered), text.size());
    EXPECT_EQ(next, std::vector<int>(kThreads, kLines));
}

TEST(LogConsoleTest, StandardErrorGetsAnsiTextUntilAFileIsSet) {
    TempDir dir;
    const int saved = dup(2), fd = open(dir.file("err").c_str(), O_WRONLY | O_CREAT, 0600);
    ASSERT_GE(fd, 0);
    fflush(stderr), dup2(fd, 2);
    ASSERT_EQ(COutput2FILE::Stream(), stderr);
    ScopedEnv time("WIN32_FIXED_TIME", "2026-01-05T23:59:58");
    LOG_DEBUG << "早 " << 1;
    fflush(stderr), dup2(saved, 2);
    close(saved), close(fd);
    EXPECT_EQ(ReadAll(dir.file("err")), Head("ALL", "DEBUG", "23:59:58") + "早 1\r\n");
}

}  // namespace
