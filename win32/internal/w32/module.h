// Module records: what an HMODULE stands for. The program itself, the built-in
// system libraries, shared objects loaded with LoadLibraryW, and files mapped
// for their resources only. An HMODULE is the address of its record; records
// live in one table and are looked up there, so a stale handle is refused
// rather than followed.
#pragma once

#include <w32/elf_file.h>
#include <w32/resource_dir.h>

#include <windows.h>

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace w32 {

class Module {
public:
    enum class Kind { Program, Builtin, Library, DataFile };

    Module(Kind kind, std::string path) : kind_(kind), path_(std::move(path)) {}
    ~Module();
    Module(const Module&) = delete;
    Module& operator=(const Module&) = delete;

    Kind kind() const { return kind_; }
    // The Linux path of the file; for a built-in module its name ("kernel32.dll").
    const std::string& path() const { return path_; }
    HMODULE handle() const { return reinterpret_cast<HMODULE>(const_cast<Module*>(this)); }

    // The module's resources, read once from its file; null with the Windows
    // error in *error when it has none.
    const ResourceDirectory* resources(DWORD* error);
    // Whether entry belongs to resources this module has read already.
    bool owns(const ResourceEntry* entry);

    void* dl = nullptr;                // dlopen handle (Program, Library)
    std::unique_ptr<MappedFile> file;  // DataFile: the mapped file
    int refs = 1;
    uint64_t dev = 0, ino = 0;

private:
    bool load_resources(DWORD* error);

    Kind kind_;
    std::string path_;
    std::mutex rsrc_mu_;
    bool rsrc_loaded_ = false;
    DWORD rsrc_error_ = 0;
    std::unique_ptr<MappedFile> rsrc_file_;  // when read from the file, not the image
    ResourceDirectory rsrc_;
};

using ModulePtr = std::shared_ptr<Module>;

// The record behind a handle (null: the program), or null with ERROR_MOD_NOT_FOUND.
ModulePtr module_from_handle(HMODULE h);
ModulePtr program_module();
// The record of a built-in library by its lower-case name, made on first use.
ModulePtr builtin_module(const std::string& lower_name);
// The module whose resources hold entry, or null.
ModulePtr module_of_resource(const ResourceEntry* entry);

// The first loaded library or data file that matches, its count raised.
ModulePtr acquire_loaded(const std::function<bool(const Module&)>& match);
// Adds m, or raises the count of a module of the same kind and file and
// answers that one instead.
ModulePtr insert_module(ModulePtr m);
// Lowers the count; answers the module when this removed it from the table
// (the caller drops it, outside any lock of the table).
ModulePtr release_module(const ModulePtr& m);
std::vector<ModulePtr> loaded_modules();

}  // namespace w32
