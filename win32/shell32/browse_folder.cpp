// The folder picker. With a display (or WIN32_DIALOG_WINDOWS) the person picks: in the
// desktop's own folder chooser when one is installed (zenity, else kdialog, run as a
// child process while the owner's messages keep flowing), else in a modal dialog the
// layer draws. Without one, or when WIN32_FOLDER_ANSWER is set, it answers that
// variable at once (unset or empty is Cancel). Every pick is recorded in
// WIN32_DIALOG_LOG. The id list answered holds one item carrying the Windows path,
// which SHGetPathFromIDListW gives back.
#include <windows.h>
#include <objbase.h>
#include <shlobj.h>
#include <win32_unixpath.h>

#include "user32/layer_dialog.h"
#include "user32/system_controls.h"
#include "w32/dialog_log.h"
#include "w32/text.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace {

namespace ld = w32::user::layer_dialog;

// Marks an item as one of ours: a path the picker chose.
constexpr char kPathItemTag[4] = {'W', '3', '2', 'P'};
constexpr size_t kHeader = sizeof(USHORT) + sizeof kPathItemTag;

// The last component, which the picker shows as the item's name ("C:\" for a root).
std::wstring display_name(const std::wstring& path) {
    size_t end = path.find_last_not_of(L"\\/");
    if (end == std::wstring::npos) return path;
    const size_t slash = path.find_last_of(L"\\/", end);
    const size_t start = slash == std::wstring::npos ? 0 : slash + 1;
    std::wstring name = path.substr(start, end - start + 1);
    return name.size() == 2 && name[1] == L':' ? name + L'\\' : name;
}

PIDLIST_ABSOLUTE make_path_list(const std::wstring& path) {
    const size_t item = kHeader + (path.size() + 1) * sizeof(wchar_t);
    if (item > 0xFFFF) return nullptr;
    auto* bytes = static_cast<BYTE*>(CoTaskMemAlloc(item + sizeof(USHORT)));
    if (!bytes) return nullptr;
    const USHORT cb = static_cast<USHORT>(item);
    const USHORT end = 0;
    memcpy(bytes, &cb, sizeof cb);
    memcpy(bytes + sizeof cb, kPathItemTag, sizeof kPathItemTag);
    memcpy(bytes + kHeader, path.c_str(), (path.size() + 1) * sizeof(wchar_t));
    memcpy(bytes + item, &end, sizeof end);
    return reinterpret_cast<PIDLIST_ABSOLUTE>(bytes);
}

bool is_folder(const std::wstring& path) {
    const DWORD a = GetFileAttributesW(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

bool is_root(const std::wstring& path) {
    return path.size() == 3 && path[1] == L':' && path[2] == L'\\';
}

// path made absolute against base ("C:\a" + "..\b" = "C:\b"), lexically, never above
// its drive's root; "" when it names no drive.
std::wstring resolve(const std::wstring& base, std::wstring path) {
    for (auto& c : path)
        if (c == L'/') c = L'\\';
    std::wstring full;
    if (path.size() >= 2 && path[1] == L':')
        full = path;
    else if (!path.empty() && path[0] == L'\\')
        full = base.substr(0, 2) + path;
    else
        full = base + L"\\" + path;
    if (full.size() < 2 || full[1] != L':' || !iswalpha(full[0])) return L"";
    std::vector<std::wstring> parts;
    size_t start = 2;
    while (start <= full.size()) {
        size_t end = full.find(L'\\', start);
        if (end == std::wstring::npos) end = full.size();
        std::wstring part = full.substr(start, end - start);
        if (part == L"..") {
            if (!parts.empty()) parts.pop_back();
        } else if (!part.empty() && part != L".") {
            parts.push_back(part);
        }
        start = end + 1;
    }
    std::wstring out(1, static_cast<wchar_t>(towupper(full[0])));
    out += L":";
    for (const auto& p : parts) out += L"\\" + p;
    if (parts.empty()) out += L"\\";
    return out;
}

std::wstring parent_of(const std::wstring& folder) {
    return is_root(folder) ? folder : resolve(folder, L"..");
}

std::wstring current_folder() {
    wchar_t buf[MAX_PATH] = L"";
    GetCurrentDirectoryW(MAX_PATH, buf);
    std::wstring cur = resolve(L"C:\\", buf);
    return is_folder(cur) ? cur : L"C:\\";
}

// Where the picker starts: what the callback selects when the dialog is up, else the
// current folder. The callback is given a window that takes BFFM_SETSELECTIONW.
struct Selection {
    std::wstring path;
};

std::wstring selection_path(WPARAM by_path, LPARAM value) {
    if (!value) return L"";
    if (by_path) return reinterpret_cast<LPCWSTR>(value);
    wchar_t buf[MAX_PATH];
    return SHGetPathFromIDListW(reinterpret_cast<PCIDLIST_ABSOLUTE>(value), buf) ? buf : L"";
}

INT_PTR CALLBACK selection_proc(HWND dlg, UINT msg, WPARAM wparam, LPARAM lparam) {
    if (msg == WM_INITDIALOG) {
        SetWindowLongPtrW(dlg, DWLP_USER, lparam);
        return FALSE;
    }
    if (msg != BFFM_SETSELECTIONW) return FALSE;
    auto* sel = reinterpret_cast<Selection*>(GetWindowLongPtrW(dlg, DWLP_USER));
    const std::wstring path = resolve(current_folder(), selection_path(wparam, lparam));
    if (sel && is_folder(path)) sel->path = path;
    return TRUE;
}

// For the chooser: a hidden window stands in for the dialog while the callback runs.
std::wstring start_folder(const BROWSEINFOW& bi) {
    Selection sel{current_folder()};
    if (!bi.lpfn) return sel.path;
    std::vector<WORD> t(sizeof(DLGTEMPLATE) / sizeof(WORD) + 3, 0);
    DLGTEMPLATE head{};
    head.style = WS_POPUP;
    memcpy(t.data(), &head, sizeof head);
    HWND dlg =
        CreateDialogIndirectParamW(nullptr, reinterpret_cast<LPCDLGTEMPLATEW>(t.data()),
                                   bi.hwndOwner, selection_proc, reinterpret_cast<LPARAM>(&sel));
    if (!dlg) return sel.path;
    bi.lpfn(dlg, BFFM_INITIALIZED, 0, bi.lParam);
    DestroyWindow(dlg);
    return sel.path;
}

// --- The desktop's chooser ---------------------------------------------------------

std::string find_on_path(const char* name) {
    const char* path = getenv("PATH");
    std::string dirs = path ? path : "";
    size_t start = 0;
    while (start <= dirs.size()) {
        size_t end = dirs.find(':', start);
        if (end == std::string::npos) end = dirs.size();
        std::string candidate = (end > start ? dirs.substr(start, end - start) : ".") + "/" + name;
        struct stat st;
        if (stat(candidate.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
            access(candidate.c_str(), X_OK) == 0)
            return candidate;
        start = end + 1;
    }
    return "";
}

enum class Outcome { Chosen, Cancelled, Failed };

// The desktop's chooser: zenity, else kdialog; empty when neither is installed.
std::string find_chooser() {
    std::string found = find_on_path("zenity");
    return found.empty() ? find_on_path("kdialog") : found;
}

// The owner keeps painting and its timers keep running while the chooser is up; it
// takes no input meanwhile, as with any modal dialog.
Outcome run_chooser(const std::string& program, HWND owner, const std::wstring& title,
                    const std::wstring& start, std::wstring* chosen) {
    std::vector<std::string> args;
    const std::string unix_start = Win32PathToUnix(start.c_str());
    const std::string title8 = w32::to_utf8(title);
    if (program.size() >= 7 && program.compare(program.size() - 7, 7, "kdialog") == 0) {
        args = {program, "--getexistingdirectory", unix_start.empty() ? "." : unix_start, "--title",
                title8};
    } else {
        args = {program, "--file-selection", "--directory", "--title=" + title8};
        if (!unix_start.empty()) args.push_back("--filename=" + unix_start + "/");
    }
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) return Outcome::Failed;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = -1;
    const int rc = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    if (rc != 0) {
        close(fds[0]);
        return Outcome::Failed;
    }

    HANDLE done = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::string out;
    int status = 0;
    std::thread reader([&] {
        char buf[4096];
        for (ssize_t n; (n = read(fds[0], buf, sizeof buf)) != 0;) {
            if (n > 0)
                out.append(buf, static_cast<size_t>(n));
            else if (errno != EINTR)
                break;
        }
        close(fds[0]);
        while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
        SetEvent(done);
    });
    const bool disabled_owner = owner && IsWindowEnabled(owner);
    if (disabled_owner) EnableWindow(owner, FALSE);
    bool quit = false;
    int quit_code = 0;
    while (MsgWaitForMultipleObjects(1, &done, FALSE, INFINITE, QS_ALLINPUT) != WAIT_OBJECT_0) {
        MSG msg;
        while (!quit && PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) {
                // The program is ending: the chooser goes, and the request stays for its loop.
                quit = true;
                quit_code = static_cast<int>(msg.wParam);
                kill(pid, SIGTERM);
                break;
            }
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        if (quit) {
            WaitForSingleObject(done, INFINITE);
            break;
        }
    }
    reader.join();
    CloseHandle(done);
    if (disabled_owner && IsWindow(owner)) {
        EnableWindow(owner, TRUE);
        SetForegroundWindow(owner);
    }
    if (quit) {
        PostQuitMessage(quit_code);
        return Outcome::Cancelled;
    }
    if (!WIFEXITED(status)) return Outcome::Failed;
    if (WEXITSTATUS(status) == 1) return Outcome::Cancelled;
    if (WEXITSTATUS(status) != 0) return Outcome::Failed;
    while (!out.empty() && (out.back() == '\n' || out.back() == '\r')) out.pop_back();
    if (out.empty() || out[0] != '/') return Outcome::Failed;
    *chosen = UnixPathToWin32(out);
    return chosen->empty() ? Outcome::Failed : Outcome::Chosen;
}

// --- The layer's own picker -----------------------------------------------------------

constexpr int kTitleId = 0x3742;
constexpr int kListId = 0x3741;
constexpr int kEditLabelId = 0x3743;
constexpr int kEditId = 0x3744;
constexpr int kWidth = 420;
constexpr int kMargin = 14;

struct Picker {
    const BROWSEINFOW* bi = nullptr;
    std::wstring folder;  // whose sub-folders the list shows
    std::wstring answer;
    bool chinese = false;
    HFONT font = nullptr;
    std::vector<std::wstring> targets;  // the folder each list row leads to
};

const wchar_t* words(const Picker& p, const wchar_t* english, const wchar_t* chinese) {
    return p.chinese ? chinese : english;
}

void show_folder(HWND dlg, Picker* p, const std::wstring& folder) {
    p->folder = folder;
    HWND list = GetDlgItem(dlg, kListId);
    SendMessageW(list, LB_RESETCONTENT, 0, 0);
    p->targets.clear();
    auto add = [&](const std::wstring& label, const std::wstring& target) {
        SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(label.c_str()));
        p->targets.push_back(target);
    };
    if (!is_root(folder)) add(L"..", parent_of(folder));
    WIN32_FIND_DATAW fd;
    const std::wstring base = is_root(folder) ? folder : folder + L"\\";
    HANDLE h = FindFirstFileW((base + L"*").c_str(), &fd);
    if (h != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = fd.cFileName;
            if (!(fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || name.empty() ||
                name[0] == L'.' || (fd.dwFileAttributes & FILE_ATTRIBUTE_HIDDEN))
                continue;
            add(name, base + name);
        } while (FindNextFileW(h, &fd));
        FindClose(h);
    }
    wchar_t roots[256];
    const DWORD n = GetLogicalDriveStringsW(256, roots);
    for (const wchar_t* r = roots; n && n < 256 && *r; r += wcslen(r) + 1) add(r, r);
    SetDlgItemTextW(dlg, kEditId, folder.c_str());
}

HWND add_control(HWND dlg, const wchar_t* cls, const wchar_t* text, DWORD style, RECT r, int id,
                 HFONT font) {
    HWND c = CreateWindowExW(0, cls, text, WS_CHILD | WS_VISIBLE | style, r.left, r.top,
                             r.right - r.left, r.bottom - r.top, dlg,
                             reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), nullptr, nullptr);
    if (c) SendMessageW(c, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    return c;
}

void build(HWND dlg, Picker* p) {
    p->font = ld::make_font(p->chinese);
    SendMessageW(dlg, WM_SETFONT, reinterpret_cast<WPARAM>(p->font), FALSE);
    const std::wstring title = p->bi->lpszTitle ? p->bi->lpszTitle : L"";
    const int inner = kWidth - 2 * kMargin;
    HDC hdc = GetDC(dlg);
    HGDIOBJ old = SelectObject(hdc, p->font);
    RECT measure{0, 0, inner, 0};
    DrawTextW(hdc, title.c_str(), -1, &measure, DT_WORDBREAK | DT_NOPREFIX | DT_CALCRECT);
    TEXTMETRICW tm{};
    GetTextMetricsW(hdc, &tm);
    SelectObject(hdc, old);
    ReleaseDC(dlg, hdc);
    const int title_h = title.empty() ? 0 : std::min<int>(measure.bottom, 3 * tm.tmHeight) + 10;
    const int list_h = 240, edit_h = 24, button_h = 26, button_w = 88;
    const int height = kMargin + title_h + list_h + 10 + edit_h + 16 + button_h + kMargin;
    const RECT area = ld::place(dlg, kWidth, height);
    int y = area.top + kMargin;
    const int x = area.left + kMargin;
    if (!title.empty()) {
        add_control(dlg, L"Static", title.c_str(), SS_LEFT | SS_NOPREFIX,
                    RECT{x, y, x + inner, y + title_h - 10}, kTitleId, p->font);
        y += title_h;
    }
    add_control(dlg, L"ListBox", L"", WS_BORDER | WS_TABSTOP | WS_GROUP | LBS_NOTIFY,
                RECT{x, y, x + inner, y + list_h}, kListId, p->font);
    y += list_h + 10;
    const wchar_t* label = words(*p, L"Folder:", L"文件夹:");
    const int label_w = p->chinese ? 56 : 52;
    add_control(dlg, L"Static", label, SS_LEFT, RECT{x, y + 4, x + label_w, y + edit_h},
                kEditLabelId, p->font);
    add_control(dlg, L"Edit", L"", WS_BORDER | WS_TABSTOP | WS_GROUP | ES_AUTOHSCROLL,
                RECT{x + label_w, y, x + inner, y + edit_h}, kEditId, p->font);
    y += edit_h + 16;
    const int right = area.left + kWidth - kMargin;
    add_control(dlg, L"Button", words(*p, L"OK", L"确定"), WS_TABSTOP | WS_GROUP | BS_DEFPUSHBUTTON,
                RECT{right - 2 * button_w - 10, y, right - button_w - 10, y + button_h}, IDOK,
                p->font);
    add_control(dlg, L"Button", words(*p, L"Cancel", L"取消"), WS_TABSTOP,
                RECT{right - button_w, y, right, y + button_h}, IDCANCEL, p->font);
    SendMessageW(dlg, DM_SETDEFID, IDOK, 0);
    show_folder(dlg, p, p->folder);
    SendMessageW(dlg, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(GetDlgItem(dlg, kListId)), TRUE);
}

std::wstring edit_text(HWND dlg) {
    HWND edit = GetDlgItem(dlg, kEditId);
    const int len = GetWindowTextLengthW(edit);
    std::wstring s(static_cast<size_t>(len) + 1, L'\0');
    GetWindowTextW(edit, s.data(), len + 1);
    s.resize(static_cast<size_t>(len));
    const size_t first = s.find_first_not_of(L" \t");
    const size_t last = s.find_last_not_of(L" \t");
    return first == std::wstring::npos ? L"" : s.substr(first, last - first + 1);
}

void accept(HWND dlg, Picker* p) {
    const std::wstring typed = edit_text(dlg);
    if (typed.empty()) return;
    const std::wstring path = resolve(p->folder, typed);
    if (path.empty() || !is_folder(path)) {
        MessageBoxW(dlg, (path.empty() ? typed : path).c_str(),
                    words(*p, L"The folder does not exist", L"文件夹不存在"),
                    MB_OK | MB_ICONWARNING);
        SendMessageW(dlg, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(GetDlgItem(dlg, kEditId)), TRUE);
        return;
    }
    p->answer = path;
    EndDialog(dlg, IDOK);
}

void paint(HWND dlg) {
    PAINTSTRUCT ps;
    HDC hdc = BeginPaint(dlg, &ps);
    RECT r;
    GetClientRect(dlg, &r);
    w32::user::look::fill(hdc, r, w32::user::look::kFace);
    ld::paint_frame(dlg, hdc, true);
    EndPaint(dlg, &ps);
}

INT_PTR CALLBACK picker_proc(HWND dlg, UINT msg, WPARAM wparam, LPARAM lparam) {
    auto* p = reinterpret_cast<Picker*>(GetWindowLongPtrW(dlg, DWLP_USER));
    if (msg == WM_INITDIALOG) {
        p = reinterpret_cast<Picker*>(lparam);
        SetWindowLongPtrW(dlg, DWLP_USER, lparam);
        build(dlg, p);
        if (p->bi->lpfn) p->bi->lpfn(dlg, BFFM_INITIALIZED, 0, p->bi->lParam);
        return FALSE;
    }
    if (!p) return FALSE;
    if (ld::frame_message(dlg, msg, wparam, lparam, true)) return TRUE;
    switch (msg) {
        case WM_ERASEBKGND:
            SetWindowLongPtrW(dlg, DWLP_MSGRESULT, 1);
            return TRUE;
        case WM_PAINT:
            paint(dlg);
            return TRUE;
        case BFFM_SETSELECTIONW: {
            const std::wstring path = resolve(p->folder, selection_path(wparam, lparam));
            if (is_folder(path)) show_folder(dlg, p, path);
            return TRUE;
        }
        case WM_COMMAND: {
            const int id = LOWORD(wparam), code = HIWORD(wparam);
            const int row = static_cast<int>(SendDlgItemMessageW(dlg, kListId, LB_GETCURSEL, 0, 0));
            const bool valid = row >= 0 && row < static_cast<int>(p->targets.size());
            if (id == kListId && code == LBN_SELCHANGE && valid) {
                SetDlgItemTextW(dlg, kEditId, p->targets[static_cast<size_t>(row)].c_str());
            } else if (id == kListId && code == LBN_DBLCLK && valid) {
                const std::wstring target = p->targets[static_cast<size_t>(row)];
                if (is_folder(target)) show_folder(dlg, p, target);
            } else if (id == IDOK) {
                accept(dlg, p);
            } else if (id == IDCANCEL) {
                EndDialog(dlg, IDCANCEL);
            }
            return TRUE;
        }
    }
    return FALSE;
}

std::wstring run_picker(const BROWSEINFOW& bi, bool chinese) {
    Picker p;
    p.bi = &bi;
    p.folder = current_folder();
    p.chinese = chinese;
    const INT_PTR result = ld::run(bi.hwndOwner, chinese ? L"浏览文件夹" : L"Browse For Folder",
                                   picker_proc, reinterpret_cast<LPARAM>(&p));
    if (p.font) DeleteObject(p.font);
    return result == IDOK ? p.answer : L"";
}

}  // namespace

PIDLIST_ABSOLUTE WINAPI SHBrowseForFolderW(LPBROWSEINFOW bi) {
    if (!bi) return nullptr;
    const std::wstring title = bi->lpszTitle ? bi->lpszTitle : L"";
    std::wstring folder;
    const char* answer = getenv("WIN32_FOLDER_ANSWER");
    if (answer || !ld::windows_wanted()) {
        folder = answer ? w32::from_utf8(answer) : L"";
    } else {
        const bool chinese = ld::chinese(title);
        std::wstring chosen;
        const std::wstring chooser_title =
            title.empty() ? (chinese ? L"浏览文件夹" : L"Browse For Folder") : title;
        const std::string chooser = find_chooser();
        Outcome outcome = Outcome::Failed;
        if (!chooser.empty())
            outcome =
                run_chooser(chooser, bi->hwndOwner, chooser_title, start_folder(*bi), &chosen);
        // A chooser that cannot run here (no display it can use) leaves it to the layer's own.
        if (outcome == Outcome::Chosen)
            folder = chosen;
        else if (outcome == Outcome::Failed)
            folder = run_picker(*bi, chinese);
    }
    w32::log_dialog("folder", L"", title, bi->ulFlags, w32::to_utf8(folder));
    if (folder.empty()) return nullptr;

    PIDLIST_ABSOLUTE list = make_path_list(folder);
    if (list && bi->pszDisplayName) {
        std::wstring name = display_name(folder);
        if (name.size() >= MAX_PATH) name.resize(MAX_PATH - 1);
        wcscpy(bi->pszDisplayName, name.c_str());
    }
    return list;
}

BOOL WINAPI SHGetPathFromIDListW(PCIDLIST_ABSOLUTE pidl, LPWSTR path) {
    if (!pidl || !path) return FALSE;
    path[0] = L'\0';
    const auto* bytes = reinterpret_cast<const BYTE*>(pidl);
    USHORT cb = 0;
    memcpy(&cb, bytes, sizeof cb);
    // Only a list the picker made names a folder; anything else has no file system path.
    if (cb <= kHeader || memcmp(bytes + sizeof cb, kPathItemTag, sizeof kPathItemTag) != 0)
        return FALSE;
    std::wstring text((cb - kHeader) / sizeof(wchar_t), L'\0');
    memcpy(text.data(), bytes + kHeader, text.size() * sizeof(wchar_t));
    text.resize(wcsnlen(text.c_str(), text.size()));
    if (text.empty() || text.size() >= MAX_PATH) return FALSE;
    wcscpy(path, text.c_str());
    return TRUE;
}
