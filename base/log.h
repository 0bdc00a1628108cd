// The per-statement logger: a statement builds one line in a temporary CFileLog
// and the line is written, whole and flushed, to the process-wide stream when the
// object dies. Filtered statements cost one comparison: the guard in BASE_LOG
// stands before the object, so none of the message pieces are evaluated.
//
// Line: "[pid][tid][CATEGORY]HH:mm:ss LEVEL: " message "\r\n". The stream is
// stderr until the start-up sets the log file (or null, which silences every
// statement). A file stream receives UTF-16LE; stderr and stdout receive ANSI text.
#pragma once

#include <stdint.h>
#include <stdio.h>

#include <sstream>
#include <string>

enum TLogLevel { LL_FATAL = 0, LL_ERROR, LL_WARNING, LL_MESSAGE, LL_INFO, LL_DEBUG };
enum TLogCategory { LCAT_ALL = 0, LCAT_VIEW, LCAT_INI };

template <typename OutputPolicy>
class CLog {
public:
    CLog();
    CLog(const CLog&) = delete;
    CLog& operator=(const CLog&) = delete;
    virtual ~CLog();

    CLog& BeginLine(int level, int category);

    CLog& operator<<(const char* text);
    CLog& operator<<(const std::string& text);
    CLog& operator<<(const wchar_t* text);
    CLog& operator<<(const std::wstring& text);
    CLog& operator<<(int value);
    CLog& operator<<(unsigned value);
    CLog& operator<<(long value);
    CLog& operator<<(unsigned long value);
    CLog& operator<<(long long value);
    CLog& operator<<(unsigned long long value);

    // Categories outside the table share the entry of category 0.
    static int& ReportingLevel(int category);
    static std::string NowTime();
    // Levels and categories outside the tables show their number.
    static std::string LevelName(int level);
    static std::string CategoryName(int category);
    static std::wstring Widen(const std::string& text);

protected:
    std::wostringstream os;
};

class COutput2FILE {
public:
    static FILE*& Stream();
    static void Output(const std::wstring& line);
};

extern template class CLog<COutput2FILE>;

class CFileLog : public CLog<COutput2FILE> {
public:
    ~CFileLog() override;
};

namespace base {
// Lets the guard's two branches have one type; binds looser than <<.
struct LogVoidify {
    void operator&(CLog<COutput2FILE>&) {}
};
inline bool LogEnabled(int level, int category) {
    return level <= CFileLog::ReportingLevel(category) && COutput2FILE::Stream() != nullptr;
}
}  // namespace base

#define BASE_LOG(level, category)            \
    !::base::LogEnabled((level), (category)) \
        ? (void)0                            \
        : ::base::LogVoidify() & CFileLog().BeginLine((level), (category))

#define LOG_FATAL BASE_LOG(LL_FATAL, LCAT_ALL)
#define LOG_ERROR BASE_LOG(LL_ERROR, LCAT_ALL)
#define LOG_WARNING BASE_LOG(LL_WARNING, LCAT_ALL)
#define LOG_MESSAGE BASE_LOG(LL_MESSAGE, LCAT_ALL)
#define LOG_INFO BASE_LOG(LL_INFO, LCAT_ALL)
#define LOG_DEBUG BASE_LOG(LL_DEBUG, LCAT_ALL)
