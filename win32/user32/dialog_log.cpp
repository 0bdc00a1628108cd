// Appends records of headless dialogs to the file WIN32_DIALOG_LOG names.
#include "w32/dialog_log.h"

#include "w32/scoped_fd.h"
#include "w32/text.h"

#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

#include <mutex>
#include <string>

namespace w32 {
namespace {

void append_escaped(std::string& out, std::string_view field) {
    for (char c : field) {
        switch (c) {
        case '\t': out += "\\t"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\\': out += "\\\\"; break;
        default: out += c;
        }
    }
}

}  // namespace

void log_dialog(std::string_view kind, std::wstring_view caption, std::wstring_view text,
                unsigned flags, std::string_view answer) {
    const char* path = getenv("WIN32_DIALOG_LOG");
    if (!path || !*path) return;
    std::string line;
    append_escaped(line, kind);
    line += '\t';
    append_escaped(line, to_utf8(caption));
    line += '\t';
    append_escaped(line, to_utf8(text));
    char hex[16];
    snprintf(hex, sizeof hex, "\t0x%08x\t", flags);
    line += hex;
    append_escaped(line, answer);
    line += '\n';

    // One write per line on an O_APPEND descriptor keeps lines whole across
    // processes; the lock keeps this process's threads in order.
    static std::mutex lock;
    std::lock_guard guard(lock);
    ScopedFd fd(open(path, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644));
    if (fd.get() < 0) return;
    [[maybe_unused]] ssize_t n = write(fd.get(), line.data(), line.size());
}

}  // namespace w32
