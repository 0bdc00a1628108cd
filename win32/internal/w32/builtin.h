// Built-in modules: libraries Windows always has ("advapi32.dll", "ntdll.dll",
// "msimg32.dll", ...) whose exports are the layer's own functions. LoadLibraryW of
// such a name answers a module without any file, and GetProcAddress finds here.
#pragma once

namespace w32 {

// dll is the lower-case file name ("ntdll.dll"); name the exported symbol.
void register_builtin_export(const char* dll, const char* name, void* fn);
// Null when the module or the name is unknown. dll is matched without regard to
// case, with or without its ".dll".
void* find_builtin_export(const char* dll, const char* name);
bool is_builtin_module(const char* dll);

}  // namespace w32

// Registers fn as an export of dll when the layer loads.
#define W32_BUILTIN_EXPORT(dll, fn)                              \
    static const bool w32_builtin_export_##fn [[maybe_unused]] = \
        (w32::register_builtin_export(dll, #fn, reinterpret_cast<void*>(&fn)), true)
