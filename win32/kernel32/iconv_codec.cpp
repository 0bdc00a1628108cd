#include "kernel32/iconv_codec.h"

#include <errno.h>
#include <iconv.h>

#include <string>

namespace w32 {

namespace {

std::string charset_of(UINT codepage) {
    switch (codepage) {
        case 936:
            return "CP936";
        case 54936:
            return "GB18030";
        case 20127:
            return "ASCII";
        case 28591:
            return "ISO-8859-1";
        default:
            return "CP" + std::to_string(codepage);
    }
}

// One descriptor per conversion: an iconv_t must not be shared between threads.
class Iconv {
public:
    Iconv(const std::string& to, const std::string& from)
        : cd_(iconv_open(to.c_str(), from.c_str())) {}
    ~Iconv() {
        if (ok()) iconv_close(cd_);
    }
    Iconv(const Iconv&) = delete;
    Iconv& operator=(const Iconv&) = delete;

    bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }
    iconv_t get() const { return cd_; }

private:
    iconv_t cd_;
};

// Runs in over cd, appending to out; on_invalid decides what an unconvertible
// input unit becomes and answers false to stop there.
template <class Out, class OnInvalid>
void run(iconv_t cd, const char* data, size_t size, size_t unit, Out& out, OnInvalid on_invalid) {
    using Ch = typename Out::value_type;
    Ch buf[512];
    char* in = const_cast<char*>(data);
    size_t in_left = size;
    while (in_left > 0) {
        char* o = reinterpret_cast<char*>(buf);
        size_t o_left = sizeof(buf);
        size_t r = iconv(cd, &in, &in_left, &o, &o_left);
        int err = errno;
        out.append(buf, (sizeof(buf) - o_left) / sizeof(Ch));
        if (r != static_cast<size_t>(-1)) continue;
        if (err == E2BIG) continue;
        // EILSEQ, or EINVAL for a sequence cut off at the end: skip one unit.
        size_t skip = unit < in_left ? unit : in_left;
        if (!on_invalid()) return;
        in += skip;
        in_left -= skip;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
    // Flush whatever shift state a stateful charset keeps.
    char* o = reinterpret_cast<char*>(buf);
    size_t o_left = sizeof(buf);
    iconv(cd, nullptr, nullptr, &o, &o_left);
    out.append(buf, (sizeof(buf) - o_left) / sizeof(Ch));
}

}  // namespace

bool iconv_to_wide(UINT codepage, std::string_view in, bool stop_on_invalid, std::wstring& out,
                   bool* invalid) {
    Iconv cd("WCHAR_T", charset_of(codepage));
    if (!cd.ok()) return false;
    *invalid = false;
    run(cd.get(), in.data(), in.size(), 1, out, [&] {
        *invalid = true;
        if (stop_on_invalid) return false;
        out += static_cast<wchar_t>(0xFFFD);
        return true;
    });
    return true;
}

bool iconv_from_wide(UINT codepage, std::wstring_view in, std::string_view default_char,
                     bool stop_on_invalid, std::string& out, bool* used_default) {
    Iconv cd(charset_of(codepage), "WCHAR_T");
    if (!cd.ok()) return false;
    *used_default = false;
    run(cd.get(), reinterpret_cast<const char*>(in.data()), in.size() * sizeof(wchar_t),
        sizeof(wchar_t), out, [&] {
            *used_default = true;
            if (stop_on_invalid) return false;
            out += default_char;
            return true;
        });
    return true;
}

}  // namespace w32
