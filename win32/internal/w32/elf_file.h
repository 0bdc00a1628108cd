// Read-only access to a file on disk and to the sections of an ELF file, for
// reading resources out of a module without running it.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include <string>

namespace w32 {

// A whole file mapped read-only; unmapped when destroyed.
class MappedFile {
public:
    MappedFile() = default;
    ~MappedFile();
    MappedFile(const MappedFile&) = delete;
    MappedFile& operator=(const MappedFile&) = delete;

    // False with errno set when the file cannot be opened; an empty file maps
    // to no bytes.
    bool open(const std::string& path);
    const uint8_t* data() const { return data_; }
    size_t size() const { return size_; }

private:
    const uint8_t* data_ = nullptr;
    size_t size_ = 0;
};

struct ElfSection {
    uint64_t offset = 0;  // in the file
    uint64_t size = 0;
    uint64_t addr = 0;  // virtual address before relocation
    bool allocated = false;
};

enum class ElfLookup { Found, NotElf, NoSection };

// Finds the named section in a mapped 64-bit little-endian ELF file.
ElfLookup find_elf_section(const uint8_t* file, size_t size, const char* name, ElfSection* out);

// The ELF file type (ET_DYN, ET_EXEC, ...) or -1 when the bytes are not ELF.
int elf_file_type(const uint8_t* file, size_t size);
// Whether the file names a program interpreter, as programs (not libraries) do.
bool elf_is_program(const uint8_t* file, size_t size);

}  // namespace w32
