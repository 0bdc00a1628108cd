// The clipboard, one per process: a thread opens it (for a window or none), empties
// it to become its owner, hands it global memory blocks by format and reads them
// back, and closes it. Text asked for in another text format than the one placed
// there is converted on request and kept until the clipboard is emptied, as
// Windows synthesises it. Blocks handed over belong to the clipboard, which frees
// them when it is emptied. Delayed rendering (a null block) is not supported.
#include <windows.h>

#include <string.h>

#include <mutex>
#include <vector>

namespace {

struct Entry {
    UINT format;
    HANDLE mem;
    bool synthesized;
};

struct Clipboard {
    std::mutex mutex;
    DWORD open_tid = 0;  // 0 while closed
    HWND open_window = nullptr;
    HWND owner = nullptr;
    std::vector<Entry> entries;
};

Clipboard& Board() {
    static Clipboard* board = new Clipboard;  // never destroyed: threads may outlive exit
    return *board;
}

bool IsText(UINT format) {
    return format == CF_TEXT || format == CF_OEMTEXT || format == CF_UNICODETEXT;
}

Entry* Find(Clipboard& b, UINT format) {
    for (Entry& e : b.entries)
        if (e.format == format) return &e;
    return nullptr;
}

// A new movable block with the text of src (a text format) in the format wanted;
// null when src cannot be read.
HANDLE ConvertText(HANDLE src, UINT from, UINT to) {
    const void* data = GlobalLock(src);
    if (!data) return nullptr;
    const SIZE_T size = GlobalSize(src);
    HANDLE out = nullptr;
    if (from == CF_UNICODETEXT) {
        const WCHAR* text = static_cast<const WCHAR*>(data);
        int n = 0;
        while (static_cast<SIZE_T>(n) < size / sizeof(WCHAR) && text[n]) ++n;
        const UINT cp = to == CF_OEMTEXT ? CP_OEMCP : CP_ACP;
        const int bytes = WideCharToMultiByte(cp, 0, text, n, nullptr, 0, nullptr, nullptr);
        out = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, bytes + 1);
        if (char* p = out ? static_cast<char*>(GlobalLock(out)) : nullptr) {
            WideCharToMultiByte(cp, 0, text, n, p, bytes, nullptr, nullptr);
            GlobalUnlock(out);
        }
    } else {
        const char* text = static_cast<const char*>(data);
        int n = 0;
        while (static_cast<SIZE_T>(n) < size && text[n]) ++n;
        const UINT cp = from == CF_OEMTEXT ? CP_OEMCP : CP_ACP;
        if (to == CF_UNICODETEXT) {
            const int chars = MultiByteToWideChar(cp, 0, text, n, nullptr, 0);
            out = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, (chars + 1) * sizeof(WCHAR));
            if (WCHAR* p = out ? static_cast<WCHAR*>(GlobalLock(out)) : nullptr) {
                MultiByteToWideChar(cp, 0, text, n, p, chars);
                GlobalUnlock(out);
            }
        } else {
            // Both narrow pages are UTF-8 here: the bytes stay as they are.
            out = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, n + 1);
            if (char* p = out ? static_cast<char*>(GlobalLock(out)) : nullptr) {
                memcpy(p, text, n);
                GlobalUnlock(out);
            }
        }
    }
    GlobalUnlock(src);
    return out;
}

bool OpenHere(const Clipboard& b) { return b.open_tid != 0 && b.open_tid == GetCurrentThreadId(); }

}  // namespace

BOOL WINAPI OpenClipboard(HWND new_owner) {
    if (new_owner && !IsWindow(new_owner)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    Clipboard& b = Board();
    std::lock_guard lock(b.mutex);
    if (b.open_tid != 0 && b.open_tid != GetCurrentThreadId()) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    b.open_tid = GetCurrentThreadId();
    b.open_window = new_owner;
    return TRUE;
}

BOOL WINAPI CloseClipboard(void) {
    Clipboard& b = Board();
    std::lock_guard lock(b.mutex);
    if (!OpenHere(b)) {
        SetLastError(ERROR_CLIPBOARD_NOT_OPEN);
        return FALSE;
    }
    b.open_tid = 0;
    b.open_window = nullptr;
    return TRUE;
}

BOOL WINAPI EmptyClipboard(void) {
    Clipboard& b = Board();
    std::vector<Entry> dropped;
    HWND previous;
    {
        std::lock_guard lock(b.mutex);
        if (!OpenHere(b)) {
            SetLastError(ERROR_CLIPBOARD_NOT_OPEN);
            return FALSE;
        }
        dropped.swap(b.entries);
        previous = b.owner;
        b.owner = b.open_window;
    }
    if (previous && IsWindow(previous)) SendMessageW(previous, WM_DESTROYCLIPBOARD, 0, 0);
    for (const Entry& e : dropped) GlobalFree(e.mem);
    return TRUE;
}

HANDLE WINAPI SetClipboardData(UINT format, HANDLE mem) {
    Clipboard& b = Board();
    std::vector<HANDLE> dropped;
    {
        std::lock_guard lock(b.mutex);
        // Only the owner that emptied it, with it open, may place data.
        if (!OpenHere(b) || !b.owner || b.owner != b.open_window) {
            SetLastError(ERROR_CLIPBOARD_NOT_OPEN);
            return nullptr;
        }
        if (format == 0 || !mem) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return nullptr;
        }
        // Converted copies may no longer match what is placed now.
        std::vector<Entry> kept;
        for (const Entry& e : b.entries) {
            if (e.synthesized || e.format == format) {
                if (e.mem != mem) dropped.push_back(e.mem);
            } else {
                kept.push_back(e);
            }
        }
        kept.push_back(Entry{format, mem, false});
        b.entries.swap(kept);
    }
    for (HANDLE h : dropped) GlobalFree(h);
    return mem;
}

HANDLE WINAPI GetClipboardData(UINT format) {
    Clipboard& b = Board();
    std::lock_guard lock(b.mutex);
    if (!OpenHere(b)) {
        SetLastError(ERROR_CLIPBOARD_NOT_OPEN);
        return nullptr;
    }
    if (Entry* e = Find(b, format)) return e->mem;
    if (!IsText(format)) return nullptr;
    for (UINT from : {CF_UNICODETEXT, CF_TEXT, CF_OEMTEXT}) {
        Entry* src = Find(b, from);
        if (!src || src->synthesized) continue;
        HANDLE made = ConvertText(src->mem, from, format);
        if (!made) return nullptr;
        b.entries.push_back(Entry{format, made, true});
        return made;
    }
    return nullptr;
}

BOOL WINAPI IsClipboardFormatAvailable(UINT format) {
    Clipboard& b = Board();
    std::lock_guard lock(b.mutex);
    if (Find(b, format)) return TRUE;
    if (!IsText(format)) return FALSE;
    for (UINT from : {CF_UNICODETEXT, CF_TEXT, CF_OEMTEXT})
        if (Find(b, from)) return TRUE;
    return FALSE;
}

HWND WINAPI GetClipboardOwner(void) {
    Clipboard& b = Board();
    HWND owner;
    {
        std::lock_guard lock(b.mutex);
        owner = b.owner;
    }
    return owner && IsWindow(owner) ? owner : nullptr;
}

HWND WINAPI GetOpenClipboardWindow(void) {
    Clipboard& b = Board();
    std::lock_guard lock(b.mutex);
    return b.open_tid ? b.open_window : nullptr;
}
