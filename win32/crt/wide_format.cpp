// _snwprintf / _vsnwprintf with the Windows runtime's wide conversions. Each
// conversion is read here and formatted on its own by glibc's swprintf, so narrow
// text is converted from UTF-8 by the layer rather than by the process's locale.
#include <windows.h>

#include <w32/text.h>

#include <string>
#include <vector>
#include <wchar.h>

namespace {

enum class Size { Default, Char, Short, Long32, Long64, SizeT, IntMax, LongDouble, Narrow, Wide };

// Formats one value with a glibc wide format holding exactly one conversion.
template <class T>
void emit(std::wstring& out, const std::wstring& spec, T value) {
    std::vector<wchar_t> buf(64);
    for (;;) {
        int n = swprintf(buf.data(), buf.size(), spec.c_str(), value);
        if (n >= 0) {
            out.append(buf.data(), static_cast<size_t>(n));
            return;
        }
        if (buf.size() > (1u << 24)) return;  // a conversion glibc refuses
        buf.resize(buf.size() * 4);
    }
}

void format(std::wstring& out, const wchar_t* fmt, va_list ap) {
    const wchar_t* p = fmt;
    while (*p) {
        if (*p != L'%') {
            out += *p++;
            continue;
        }
        const wchar_t* start = p++;
        if (*p == L'%') {
            out += L'%';
            ++p;
            continue;
        }
        std::wstring flags;
        while (*p && wcschr(L"-+ #0", *p)) flags += *p++;
        std::wstring width;
        if (*p == L'*') {
            int w = va_arg(ap, int);
            if (w < 0) {
                flags += L'-';
                w = -w;
            }
            width = std::to_wstring(w);
            ++p;
        } else {
            while (*p >= L'0' && *p <= L'9') width += *p++;
        }
        std::wstring precision;
        if (*p == L'.') {
            ++p;
            if (*p == L'*') {
                int prec = va_arg(ap, int);
                precision = prec >= 0 ? L"." + std::to_wstring(prec) : L"";
                ++p;
            } else {
                precision = L".";
                while (*p >= L'0' && *p <= L'9') precision += *p++;
            }
        }
        Size size = Size::Default;
        if (p[0] == L'h' && p[1] == L'h') {
            size = Size::Char;
            p += 2;
        } else if (*p == L'h') {
            size = Size::Short;
            ++p;
        } else if (p[0] == L'l' && p[1] == L'l') {
            size = Size::Long64;
            p += 2;
        } else if (*p == L'l' || *p == L'w') {
            size = Size::Long32;
            ++p;
        } else if (p[0] == L'I' && p[1] == L'6' && p[2] == L'4') {
            size = Size::Long64;
            p += 3;
        } else if (p[0] == L'I' && p[1] == L'3' && p[2] == L'2') {
            size = Size::Default;
            p += 3;
        } else if (*p == L'I' || *p == L'z' || *p == L't') {
            size = Size::SizeT;
            ++p;
        } else if (*p == L'j') {
            size = Size::IntMax;
            ++p;
        } else if (*p == L'L') {
            size = Size::LongDouble;
            ++p;
        }
        const wchar_t conv = *p;
        if (!conv) {
            out.append(start);
            break;
        }
        ++p;
        const std::wstring head = L"%" + flags + width + precision;
        switch (conv) {
            case L'd':
            case L'i':
                if (size == Size::Long64 || size == Size::IntMax) {
                    emit(out, head + L"lld", va_arg(ap, long long));
                } else if (size == Size::SizeT) {
                    emit(out, head + L"zd", va_arg(ap, ssize_t));
                } else {
                    int v = va_arg(ap, int);
                    if (size == Size::Short) v = static_cast<short>(v);
                    if (size == Size::Char) v = static_cast<signed char>(v);
                    emit(out, head + L"d", v);
                }
                break;
            case L'u':
            case L'o':
            case L'x':
            case L'X': {
                const wchar_t c[2] = {conv, 0};
                if (size == Size::Long64 || size == Size::IntMax) {
                    emit(out, head + L"ll" + c, va_arg(ap, unsigned long long));
                } else if (size == Size::SizeT) {
                    emit(out, head + L"z" + c, va_arg(ap, size_t));
                } else {
                    unsigned v = va_arg(ap, unsigned);
                    if (size == Size::Short) v = static_cast<unsigned short>(v);
                    if (size == Size::Char) v = static_cast<unsigned char>(v);
                    emit(out, head + c, v);
                }
                break;
            }
            case L'c':
            case L'C': {
                int v = va_arg(ap, int);
                bool narrow = size == Size::Short || (conv == L'C' && size != Size::Long32);
                wchar_t ch = narrow ? static_cast<wchar_t>(static_cast<unsigned char>(v))
                                    : static_cast<wchar_t>(v);
                emit(out, head + L"lc", static_cast<wint_t>(ch));
                break;
            }
            case L's':
            case L'S': {
                bool narrow = size == Size::Short || (conv == L'S' && size != Size::Long32);
                std::wstring text;
                if (narrow) {
                    const char* s = va_arg(ap, const char*);
                    text = s ? w32::from_utf8(s) : L"(null)";
                } else {
                    const wchar_t* s = va_arg(ap, const wchar_t*);
                    text = s ? s : L"(null)";
                }
                emit(out, head + L"ls", text.c_str());
                break;
            }
            case L'f':
            case L'F':
            case L'e':
            case L'E':
            case L'g':
            case L'G':
            case L'a':
            case L'A': {
                const wchar_t c[2] = {conv, 0};
                if (size == Size::LongDouble) {
                    emit(out, head + L"L" + c, va_arg(ap, long double));
                } else {
                    emit(out, head + c, va_arg(ap, double));
                }
                break;
            }
            case L'p':
                // Windows writes a pointer as 16 upper-case hex digits.
                emit(out, L"%" + flags + width + L"016llX",
                     static_cast<unsigned long long>(
                         reinterpret_cast<uintptr_t>(va_arg(ap, void*))));
                break;
            case L'n':
                (void)va_arg(ap, void*);  // refused by the Windows runtime; writes nothing
                break;
            default:
                out.append(start, p);  // not a conversion: kept as written
                break;
        }
    }
}

}  // namespace

int _vsnwprintf(wchar_t* buffer, size_t count, const wchar_t* fmt, va_list args) {
    if (!fmt) return -1;
    std::wstring out;
    va_list ap;
    va_copy(ap, args);
    format(out, fmt, ap);
    va_end(ap);
    if (!buffer || count == 0) return buffer ? -1 : static_cast<int>(out.size());
    if (out.size() < count) {
        out.copy(buffer, out.size());
        buffer[out.size()] = L'\0';
        return static_cast<int>(out.size());
    }
    out.copy(buffer, count - 1);
    buffer[count - 1] = L'\0';
    return -1;
}

int _snwprintf(wchar_t* buffer, size_t count, const wchar_t* fmt, ...) {
    va_list ap;
    va_start(ap, fmt);
    int n = _vsnwprintf(buffer, count, fmt, ap);
    va_end(ap);
    return n;
}
