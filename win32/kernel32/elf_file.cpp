#include <w32/elf_file.h>
#include <w32/scoped_fd.h>

#include <elf.h>
#include <errno.h>
#include <fcntl.h>
#include <string.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace w32 {
namespace {

bool is_elf64_le(const uint8_t* file, size_t size) {
    return size >= sizeof(Elf64_Ehdr) && memcmp(file, ELFMAG, SELFMAG) == 0 &&
           file[EI_CLASS] == ELFCLASS64 && file[EI_DATA] == ELFDATA2LSB;
}

}  // namespace

MappedFile::~MappedFile() {
    if (data_ && size_) munmap(const_cast<uint8_t*>(data_), size_);
}

bool MappedFile::open(const std::string& path) {
    ScopedFd f(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!f.valid()) return false;
    struct stat st;
    if (fstat(f.get(), &st) != 0) return false;
    if (S_ISDIR(st.st_mode)) {
        errno = EISDIR;
        return false;
    }
    if (st.st_size == 0) return true;
    void* p = mmap(nullptr, static_cast<size_t>(st.st_size), PROT_READ, MAP_PRIVATE, f.get(), 0);
    if (p == MAP_FAILED) return false;
    data_ = static_cast<const uint8_t*>(p);
    size_ = static_cast<size_t>(st.st_size);
    return true;
}

int elf_file_type(const uint8_t* file, size_t size) {
    if (size < EI_NIDENT + 2 || memcmp(file, ELFMAG, SELFMAG) != 0) return -1;
    if (!is_elf64_le(file, size)) return ET_NONE;
    Elf64_Ehdr eh;
    memcpy(&eh, file, sizeof eh);
    return eh.e_type;
}

bool elf_is_program(const uint8_t* file, size_t size) {
    if (!is_elf64_le(file, size)) return false;
    Elf64_Ehdr eh;
    memcpy(&eh, file, sizeof eh);
    if (eh.e_type == ET_EXEC) return true;
    if (eh.e_phentsize != sizeof(Elf64_Phdr) || eh.e_phoff > size) return false;
    for (uint64_t i = 0; i < eh.e_phnum; ++i) {
        uint64_t at = eh.e_phoff + i * sizeof(Elf64_Phdr);
        if (at + sizeof(Elf64_Phdr) > size) break;
        Elf64_Phdr ph;
        memcpy(&ph, file + at, sizeof ph);
        if (ph.p_type == PT_INTERP) return true;
    }
    return false;
}

ElfLookup find_elf_section(const uint8_t* file, size_t size, const char* name, ElfSection* out) {
    if (!is_elf64_le(file, size)) return ElfLookup::NotElf;
    Elf64_Ehdr eh;
    memcpy(&eh, file, sizeof eh);
    if (eh.e_shoff == 0 || eh.e_shentsize != sizeof(Elf64_Shdr) || eh.e_shoff > size)
        return ElfLookup::NoSection;

    auto section = [&](uint64_t i, Elf64_Shdr* sh) {
        uint64_t at = eh.e_shoff + i * sizeof(Elf64_Shdr);
        if (at + sizeof(Elf64_Shdr) > size || at < eh.e_shoff) return false;
        memcpy(sh, file + at, sizeof *sh);
        return true;
    };
    Elf64_Shdr first;
    if (!section(0, &first)) return ElfLookup::NoSection;
    uint64_t count = eh.e_shnum ? eh.e_shnum : first.sh_size;
    uint64_t names_index = eh.e_shstrndx == SHN_XINDEX ? first.sh_link : eh.e_shstrndx;
    Elf64_Shdr names;
    if (count == 0 || names_index >= count || !section(names_index, &names) ||
        names.sh_type != SHT_STRTAB || names.sh_offset > size ||
        names.sh_size > size - names.sh_offset)
        return ElfLookup::NoSection;

    size_t want = strlen(name);
    for (uint64_t i = 1; i < count; ++i) {
        Elf64_Shdr sh;
        if (!section(i, &sh)) break;
        if (sh.sh_name >= names.sh_size || names.sh_size - sh.sh_name <= want) continue;
        const char* s = reinterpret_cast<const char*>(file + names.sh_offset + sh.sh_name);
        if (memcmp(s, name, want + 1) != 0) continue;
        if (sh.sh_type == SHT_NOBITS || sh.sh_offset > size || sh.sh_size > size - sh.sh_offset)
            return ElfLookup::NoSection;
        out->offset = sh.sh_offset;
        out->size = sh.sh_size;
        out->addr = sh.sh_addr;
        out->allocated = (sh.sh_flags & SHF_ALLOC) != 0;
        return ElfLookup::Found;
    }
    return ElfLookup::NoSection;
}

}  // namespace w32
