// LoadLibraryW and friends over dlopen. Names follow Windows: a bare name
// without an extension gets ".dll" (a trailing '.' stands for no extension) and
// is a built-in system library or a file searched in the program's folder and
// then the current folder; a path is taken as it is, or else with ".dll".
#include <w32/builtin.h>
#include <w32/error.h>
#include <w32/module.h>
#include <w32/path.h>
#include <w32/text.h>

#include <dlfcn.h>
#include <elf.h>
#include <link.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

namespace {

using w32::Module;
using w32::ModulePtr;

// System libraries that always answer LoadLibraryW, whether or not an area of
// the layer registered exports for them yet.
constexpr const char* kSystemLibraries[] = {
    "kernel32.dll", "kernelbase.dll", "ntdll.dll",   "user32.dll",  "gdi32.dll",    "advapi32.dll",
    "msimg32.dll",  "shell32.dll",    "shlwapi.dll", "ole32.dll",   "oleaut32.dll", "version.dll",
    "psapi.dll",    "comctl32.dll",   "wininet.dll", "gdiplus.dll", "iphlpapi.dll", "netapi32.dll",
    "ws2_32.dll",   "winmm.dll",      "imm32.dll",   "uxtheme.dll", "dwmapi.dll",   "msvcrt.dll",
};

constexpr DWORD kDataFileFlags =
    LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_DATAFILE_EXCLUSIVE | LOAD_LIBRARY_AS_IMAGE_RESOURCE;

bool is_sep(wchar_t c) { return c == L'\\' || c == L'/'; }

std::wstring lower(std::wstring s) {
    for (auto& c : s)
        if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c - L'A' + L'a');
    return s;
}

bool has_path(const std::wstring& n) {
    return std::any_of(n.begin(), n.end(), is_sep) || (n.size() >= 2 && n[1] == L':');
}

size_t base_start(const std::wstring& n) {
    size_t i = n.size();
    while (i > 0 && !is_sep(n[i - 1]) && n[i - 1] != L':') --i;
    return i;
}

std::wstring base_name(const std::wstring& n) { return n.substr(base_start(n)); }

std::wstring with_default_extension(std::wstring n) {
    std::wstring base = base_name(n);
    if (!base.empty() && base.back() == L'.') {
        n.pop_back();
    } else if (base.find(L'.') == std::wstring::npos) {
        n += L".dll";
    }
    return n;
}

bool is_system_library(const std::wstring& lower_base) {
    std::string name = w32::to_utf8(lower_base);
    for (auto* s : kSystemLibraries)
        if (name == s) return true;
    return w32::is_builtin_module(name.c_str());
}

std::string lower_file_name(const std::string& path) {
    auto slash = path.rfind('/');
    return w32::to_utf8(
        lower(w32::from_utf8(slash == std::string::npos ? path : path.substr(slash + 1))));
}

std::string current_dir() {
    char buf[4096];
    return getcwd(buf, sizeof buf) ? std::string(buf) : std::string(".");
}

std::string absolute(const std::string& p) {
    if (!p.empty() && p[0] == '/') return p;
    // Through a drive path and back, which also folds "." and "..".
    std::string joined = current_dir() + "/" + p;
    std::string folded = w32::to_unix(w32::to_windows(joined));
    return folded.empty() ? joined : folded;
}

bool is_regular_file(const std::string& p, struct stat* st) {
    return stat(p.c_str(), st) == 0 && S_ISREG(st->st_mode);
}

std::string program_dir() {
    std::string p = w32::program_module()->path();
    auto slash = p.rfind('/');
    return slash == std::string::npos || slash == 0 ? "/" : p.substr(0, slash);
}

// The file a name stands for, or "" when there is none.
std::string resolve_file(const std::wstring& name, struct stat* st) {
    if (has_path(name)) {
        std::string p = w32::to_unix(name);
        if (p.empty()) return {};
        p = absolute(p);
        return is_regular_file(p, st) ? p : std::string();
    }
    std::string file = w32::to_utf8(name);
    for (const std::string& dir : {program_dir(), current_dir()}) {
        std::string p = dir == "/" ? "/" + file : dir + "/" + file;
        if (is_regular_file(p, st)) return p;
    }
    return {};
}

// Whether sym lies in the object behind dl itself, not in one it depends on.
bool defined_in(void* dl, void* sym) {
    struct link_map* lm = nullptr;
    struct link_map* owner = nullptr;
    Dl_info info;
    if (dlinfo(dl, RTLD_DI_LINKMAP, &lm) != 0 || !lm) return false;
    if (!dladdr1(sym, &info, reinterpret_cast<void**>(&owner), RTLD_DL_LINKMAP)) return false;
    return owner == lm;
}

HMODULE load(LPCWSTR file_name, DWORD flags) {
    if (!file_name || !*file_name) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    std::wstring name = file_name;
    bool data_only = (flags & kDataFileFlags) != 0;

    if (!has_path(name)) {
        name = with_default_extension(name);
        std::wstring key = lower(name);
        if (is_system_library(key)) return w32::builtin_module(w32::to_utf8(key))->handle();
        std::string file = w32::to_utf8(key);
        auto same = w32::acquire_loaded([&](const Module& m) {
            return m.kind() == Module::Kind::Library && lower_file_name(m.path()) == file;
        });
        if (same) return same->handle();
    }

    struct stat st;
    std::string path = resolve_file(name, &st);
    // A path is taken as given (programs here have no extension), then as
    // Windows would read it.
    if (path.empty() && has_path(name)) path = resolve_file(with_default_extension(name), &st);
    if (path.empty()) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    auto loaded = w32::acquire_loaded([&](const Module& m) {
        return m.dev == st.st_dev && m.ino == st.st_ino &&
               (m.kind() == Module::Kind::Library ||
                (data_only && m.kind() == Module::Kind::DataFile));
    });
    if (loaded) return loaded->handle();

    auto file = std::make_unique<w32::MappedFile>();
    if (!file->open(path)) {
        SetLastError(w32::errno_to_win(errno));
        return nullptr;
    }
    int type = w32::elf_file_type(file->data(), file->size());
    if (type != ET_DYN && type != ET_EXEC) {
        SetLastError(ERROR_BAD_EXE_FORMAT);
        return nullptr;
    }

    ModulePtr m;
    // A program cannot be loaded into another one here; Windows maps it without
    // running it, and so its resources stay reachable.
    if (data_only || w32::elf_is_program(file->data(), file->size())) {
        m = std::make_shared<Module>(Module::Kind::DataFile, path);
        m->file = std::move(file);
    } else {
        file.reset();
        void* dl = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!dl) {
            SetLastError(ERROR_MOD_NOT_FOUND);
            return nullptr;
        }
        m = std::make_shared<Module>(Module::Kind::Library, path);
        m->dl = dl;
    }
    m->dev = st.st_dev;
    m->ino = st.st_ino;
    return w32::insert_module(std::move(m))->handle();
}

std::string layer_file() {
    Dl_info info;
    if (dladdr(reinterpret_cast<void*>(&GetModuleFileNameW), &info) && info.dli_fname &&
        *info.dli_fname)
        return absolute(info.dli_fname);
    return w32::program_module()->path();
}

}  // namespace

HMODULE WINAPI LoadLibraryW(LPCWSTR file_name) { return load(file_name, 0); }

HMODULE WINAPI LoadLibraryExW(LPCWSTR file_name, HANDLE reserved, DWORD flags) {
    if (reserved) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    return load(file_name, flags);
}

BOOL WINAPI FreeLibrary(HMODULE module) {
    if (!module) return w32::fail(ERROR_INVALID_HANDLE);
    ModulePtr m = w32::module_from_handle(module);
    if (!m) return FALSE;
    if (m->kind() == Module::Kind::Library || m->kind() == Module::Kind::DataFile) {
        ModulePtr gone = w32::release_module(m);
    }
    return TRUE;
}

FARPROC WINAPI GetProcAddress(HMODULE module, LPCSTR proc_name) {
    ModulePtr m = w32::module_from_handle(module);
    if (!m) return nullptr;
    // Exports here are found by name only; nothing of ours numbers them.
    if (!proc_name || IS_INTRESOURCE(proc_name)) {
        SetLastError(ERROR_PROC_NOT_FOUND);
        return nullptr;
    }
    void* sym = nullptr;
    switch (m->kind()) {
        case Module::Kind::Builtin:
            sym = w32::find_builtin_export(m->path().c_str(), proc_name);
            break;
        case Module::Kind::Program:
        case Module::Kind::Library:
            if (m->dl) {
                sym = dlsym(m->dl, proc_name);
                if (sym && !defined_in(m->dl, sym)) sym = nullptr;
            }
            break;
        case Module::Kind::DataFile:
            break;
    }
    if (!sym) {
        SetLastError(ERROR_PROC_NOT_FOUND);
        return nullptr;
    }
    return reinterpret_cast<FARPROC>(sym);
}

HMODULE WINAPI GetModuleHandleW(LPCWSTR module_name) {
    if (!module_name) return w32::program_module()->handle();
    std::wstring given = module_name;
    if (given.empty()) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    ModulePtr program = w32::program_module();
    std::vector<ModulePtr> candidates{program};
    for (auto& m : w32::loaded_modules())
        if (m->kind() == Module::Kind::Library) candidates.push_back(m);

    if (has_path(given)) {
        struct stat st;
        for (const std::wstring& n : {given, with_default_extension(given)}) {
            std::string p = w32::to_unix(n);
            if (p.empty() || stat(absolute(p).c_str(), &st) != 0) continue;
            for (auto& m : candidates)
                if (m->dev == st.st_dev && m->ino == st.st_ino) return m->handle();
        }
    } else {
        std::wstring exact = lower(given), dll = lower(with_default_extension(given));
        if (is_system_library(dll)) return w32::builtin_module(w32::to_utf8(dll))->handle();
        for (auto& m : candidates) {
            std::wstring file = w32::from_utf8(lower_file_name(m->path()));
            if (file == exact || file == dll) return m->handle();
        }
    }
    SetLastError(ERROR_MOD_NOT_FOUND);
    return nullptr;
}

DWORD WINAPI GetModuleFileNameW(HMODULE module, LPWSTR file_name, DWORD size) {
    ModulePtr m = w32::module_from_handle(module);
    if (!m) return 0;
    std::string unix_path = m->kind() == Module::Kind::Builtin ? layer_file() : m->path();
    std::wstring path = w32::to_windows(unix_path);
    if (path.empty()) path = w32::from_utf8(unix_path);
    if (!file_name || size == 0) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    if (path.size() < size) {
        std::copy(path.begin(), path.end(), file_name);
        file_name[path.size()] = L'\0';
        return static_cast<DWORD>(path.size());
    }
    std::copy(path.begin(), path.begin() + (size - 1), file_name);
    file_name[size - 1] = L'\0';
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return size;
}

W32_BUILTIN_EXPORT("kernel32.dll", LoadLibraryW);
W32_BUILTIN_EXPORT("kernel32.dll", LoadLibraryExW);
W32_BUILTIN_EXPORT("kernel32.dll", FreeLibrary);
W32_BUILTIN_EXPORT("kernel32.dll", GetProcAddress);
W32_BUILTIN_EXPORT("kernel32.dll", GetModuleHandleW);
W32_BUILTIN_EXPORT("kernel32.dll", GetModuleFileNameW);
W32_BUILTIN_EXPORT("kernel32.dll", GetLastError);
W32_BUILTIN_EXPORT("kernel32.dll", SetLastError);
