#include "base/log.h"

#include <windows.h>

#include <vector>

namespace {

const char* const kLevelNames[] = {"FATAL", "ERROR", "WARNING", "MESSAGE", "INFO", "DEBUG"};
const char* const kCategoryNames[] = {"ALL", "VIEW", "INI"};
constexpr int kLevelCount = static_cast<int>(sizeof(kLevelNames) / sizeof(kLevelNames[0]));
constexpr int kCategoryCount = static_cast<int>(sizeof(kCategoryNames) / sizeof(kCategoryNames[0]));

// Two bytes per UTF-16 unit, low byte first; characters beyond the basic plane
// become surrogate pairs, since wchar_t holds whole code points here.
std::string ToUtf16Le(const std::wstring& text) {
    std::string out;
    out.reserve(text.size() * 2);
    auto put = [&out](uint32_t unit) {
        out.push_back(static_cast<char>(unit & 0xFF));
        out.push_back(static_cast<char>((unit >> 8) & 0xFF));
    };
    for (wchar_t wc : text) {
        uint32_t c = static_cast<uint32_t>(wc);
        if (c > 0x10FFFF) c = 0xFFFD;
        if (c >= 0x10000) {
            c -= 0x10000;
            put(0xD800 | (c >> 10));
            put(0xDC00 | (c & 0x3FF));
        } else {
            put(c);
        }
    }
    return out;
}

std::string ToAnsi(const std::wstring& text) {
    if (text.empty()) return {};
    const int n = static_cast<int>(text.size());
    const int needed = WideCharToMultiByte(CP_ACP, 0, text.data(), n, nullptr, 0, nullptr, nullptr);
    if (needed <= 0) return {};
    std::string out(static_cast<size_t>(needed), '\0');
    const int got =
        WideCharToMultiByte(CP_ACP, 0, text.data(), n, out.data(), needed, nullptr, nullptr);
    out.resize(got > 0 ? static_cast<size_t>(got) : 0);
    return out;
}

}  // namespace

template <typename T>
CLog<T>::CLog() : os(std::ios_base::out) {}

template <typename T>
CLog<T>::~CLog() {
    os << L"\r\n";
    T::Output(os.str());
}

template <typename T>
CLog<T>& CLog<T>::BeginLine(int level, int category) {
    std::string head;
    head.reserve(48);
    head += '[';
    head += std::to_string(GetCurrentProcessId());
    head += "][";
    head += std::to_string(GetCurrentThreadId());
    head += "][";
    head += CategoryName(category);
    head += ']';
    head += NowTime();
    head += ' ';
    head += LevelName(level);
    head += ": ";
    if (level > LL_DEBUG) head.append(static_cast<size_t>(level - LL_DEBUG), '\t');
    os << Widen(head);
    return *this;
}

template <typename T>
CLog<T>& CLog<T>::operator<<(const char* text) {
    if (text) os << Widen(text);
    return *this;
}

template <typename T>
CLog<T>& CLog<T>::operator<<(const std::string& text) {
    os << Widen(text);
    return *this;
}

template <typename T>
CLog<T>& CLog<T>::operator<<(const wchar_t* text) {
    if (text) os << text;
    return *this;
}

template <typename T>
CLog<T>& CLog<T>::operator<<(const std::wstring& text) {
    os << text;
    return *this;
}

template <typename T>
CLog<T>& CLog<T>::operator<<(int value) {
    os << value;
    return *this;
}

template <typename T>
CLog<T>& CLog<T>::operator<<(unsigned value) {
    os << value;
    return *this;
}

template <typename T>
CLog<T>& CLog<T>::operator<<(long value) {
    os << value;
    return *this;
}

template <typename T>
CLog<T>& CLog<T>::operator<<(unsigned long value) {
    os << value;
    return *this;
}

template <typename T>
CLog<T>& CLog<T>::operator<<(long long value) {
    os << value;
    return *this;
}

template <typename T>
CLog<T>& CLog<T>::operator<<(unsigned long long value) {
    os << value;
    return *this;
}

template <typename T>
int& CLog<T>::ReportingLevel(int category) {
    static int levels[kCategoryCount] = {LL_DEBUG, LL_DEBUG, LL_DEBUG};
    if (category < 0 || category >= kCategoryCount) category = LCAT_ALL;
    return levels[category];
}

template <typename T>
std::string CLog<T>::NowTime() {
    char picture[200] = {};
    if (GetTimeFormatA(0x400, 0, nullptr, "HH':'mm':'ss", picture, sizeof(picture)) == 0) {
        return "Error in NowTime()";
    }
    char result[100];
    snprintf(result, sizeof(result), "%s", picture);
    return result;
}

template <typename T>
std::string CLog<T>::LevelName(int level) {
    if (level < 0 || level >= kLevelCount) return std::to_string(level);
    return kLevelNames[level];
}

template <typename T>
std::string CLog<T>::CategoryName(int category) {
    if (category < 0 || category >= kCategoryCount) return std::to_string(category);
    return kCategoryNames[category];
}

// The program's narrow text is in the ANSI code page (its literals included); a
// piece that is not valid there is dropped rather than shown garbled.
template <typename T>
std::wstring CLog<T>::Widen(const std::string& text) {
    if (text.empty()) return {};
    const int n = static_cast<int>(text.size());
    const int needed =
        MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, text.data(), n, nullptr, 0);
    if (needed <= 0) return {};
    std::vector<wchar_t> buffer(static_cast<size_t>(needed) + 1, L'\0');
    if (MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, text.data(), n, buffer.data(), needed) <=
        0) {
        return {};
    }
    return std::wstring(buffer.data());
}

template class CLog<COutput2FILE>;

FILE*& COutput2FILE::Stream() {
    static FILE* stream = stderr;
    return stream;
}

void COutput2FILE::Output(const std::wstring& line) {
    FILE* stream = Stream();
    if (!stream) return;
    // A console gets text in its code page; a log file gets the UTF-16LE its
    // byte-order mark announces. One write per line keeps lines whole between threads.
    const std::string bytes =
        (stream == stderr || stream == stdout) ? ToAnsi(line) : ToUtf16Le(line);
    fwrite(bytes.data(), 1, bytes.size(), stream);
    fflush(stream);
}

CFileLog::~CFileLog() = default;
