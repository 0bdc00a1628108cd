#include <w32/builtin.h>
#include <w32/module.h>
#include <w32/rsrc_format.h>

#include <dlfcn.h>
#include <link.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <map>
#include <vector>

namespace w32 {
namespace {

struct Table {
    std::mutex mu;
    ModulePtr program;
    std::map<std::string, ModulePtr> builtins;  // by lower-case name
    std::vector<ModulePtr> loaded;              // libraries and data files
};

Table& table() {
    static auto* t = new Table;  // never destroyed: modules outlive static destructors
    return *t;
}

std::string self_exe_path() {
    std::string buf(4096, '\0');
    ssize_t n = readlink("/proc/self/exe", buf.data(), buf.size());
    if (n <= 0) return "/proc/self/exe";
    buf.resize(static_cast<size_t>(n));
    static constexpr char kDeleted[] = " (deleted)";
    size_t dl = sizeof kDeleted - 1;
    if (buf.size() > dl && buf.compare(buf.size() - dl, dl, kDeleted) == 0)
        buf.resize(buf.size() - dl);
    return buf;
}

struct PhdrQuery {
    ElfW(Addr) bias;
    uint64_t start, end;
    bool inside = false;
};

// Whether [start, end) (unrelocated) lies in a loaded segment of the object
// whose load bias is bias, so it may be read from memory.
bool mapped_in_image(ElfW(Addr) bias, uint64_t start, uint64_t end) {
    PhdrQuery q{bias, start, end};
    dl_iterate_phdr(
        [](struct dl_phdr_info* info, size_t, void* data) {
            auto* q = static_cast<PhdrQuery*>(data);
            if (info->dlpi_addr != q->bias) return 0;
            for (int i = 0; i < info->dlpi_phnum; ++i) {
                const auto& ph = info->dlpi_phdr[i];
                if (ph.p_type == PT_LOAD && q->start >= ph.p_vaddr &&
                    q->end <= ph.p_vaddr + ph.p_filesz) {
                    q->inside = true;
                    return 1;
                }
            }
            return 0;
        },
        &q);
    return q.inside;
}

}  // namespace

Module::~Module() {
    if (dl && kind_ == Kind::Library) dlclose(dl);
}

const ResourceDirectory* Module::resources(DWORD* error) {
    std::lock_guard lock(rsrc_mu_);
    if (!rsrc_loaded_) {
        rsrc_loaded_ = true;
        if (!load_resources(&rsrc_error_)) {
            rsrc_file_.reset();
            if (!rsrc_error_) rsrc_error_ = ERROR_RESOURCE_DATA_NOT_FOUND;
        }
    }
    if (rsrc_error_) {
        *error = rsrc_error_;
        return nullptr;
    }
    return &rsrc_;
}

bool Module::owns(const ResourceEntry* entry) {
    std::lock_guard lock(rsrc_mu_);
    return rsrc_loaded_ && !rsrc_error_ && rsrc_.owns(entry);
}

bool Module::load_resources(DWORD* error) {
    if (kind_ == Kind::Builtin) return false;

    const MappedFile* mapped = file.get();
    if (!mapped) {
        rsrc_file_ = std::make_unique<MappedFile>();
        if (!rsrc_file_->open(kind_ == Kind::Program ? "/proc/self/exe" : path_)) {
            *error = ERROR_FILE_NOT_FOUND;
            return false;
        }
        mapped = rsrc_file_.get();
    }
    ElfSection sec;
    if (find_elf_section(mapped->data(), mapped->size(), rsrc::kResourceSection, &sec) !=
        ElfLookup::Found)
        return false;

    // A loaded module's section is in memory already: read it there, as Windows
    // reads a loaded image, and let go of the file.
    if (dl && sec.allocated) {
        struct link_map* lm = nullptr;
        if (dlinfo(dl, RTLD_DI_LINKMAP, &lm) == 0 && lm &&
            mapped_in_image(lm->l_addr, sec.addr, sec.addr + sec.size)) {
            auto* image = reinterpret_cast<const uint8_t*>(lm->l_addr + sec.addr);
            if (sec.size < sizeof(rsrc::kMagic) ||
                memcmp(image, rsrc::kMagic, sizeof rsrc::kMagic) == 0) {
                rsrc_file_.reset();
                return rsrc_.parse(image, sec.size);
            }
        }
    }
    return rsrc_.parse(mapped->data() + sec.offset, sec.size);
}

ModulePtr program_module() {
    auto& t = table();
    std::lock_guard lock(t.mu);
    if (!t.program) {
        auto m = std::make_shared<Module>(Module::Kind::Program, self_exe_path());
        m->dl = dlopen(nullptr, RTLD_NOW);
        struct stat st;
        if (stat("/proc/self/exe", &st) == 0) {
            m->dev = st.st_dev;
            m->ino = st.st_ino;
        }
        t.program = std::move(m);
    }
    return t.program;
}

ModulePtr builtin_module(const std::string& lower_name) {
    auto& t = table();
    std::lock_guard lock(t.mu);
    auto it = t.builtins.find(lower_name);
    if (it != t.builtins.end()) return it->second;
    auto m = std::make_shared<Module>(Module::Kind::Builtin, lower_name);
    t.builtins.emplace(lower_name, m);
    return m;
}

ModulePtr module_from_handle(HMODULE h) {
    if (!h) return program_module();
    auto* raw = reinterpret_cast<Module*>(h);
    auto& t = table();
    {
        std::lock_guard lock(t.mu);
        if (t.program.get() == raw) return t.program;
        for (auto& [name, m] : t.builtins)
            if (m.get() == raw) return m;
        for (auto& m : t.loaded)
            if (m.get() == raw) return m;
    }
    SetLastError(ERROR_MOD_NOT_FOUND);
    return nullptr;
}

ModulePtr module_of_resource(const ResourceEntry* entry) {
    std::vector<ModulePtr> all;
    {
        auto& t = table();
        std::lock_guard lock(t.mu);
        if (t.program) all.push_back(t.program);
        all.insert(all.end(), t.loaded.begin(), t.loaded.end());
    }
    for (auto& m : all)
        if (m->owns(entry)) return m;
    return nullptr;
}

ModulePtr acquire_loaded(const std::function<bool(const Module&)>& match) {
    auto& t = table();
    std::lock_guard lock(t.mu);
    for (auto& m : t.loaded) {
        if (match(*m)) {
            ++m->refs;
            return m;
        }
    }
    return nullptr;
}

ModulePtr insert_module(ModulePtr m) {
    ModulePtr unused;  // destroyed after the lock is let go: it may dlclose
    auto& t = table();
    std::lock_guard lock(t.mu);
    for (auto& old : t.loaded) {
        if (old->kind() == m->kind() && old->dev == m->dev && old->ino == m->ino) {
            ++old->refs;
            unused = std::move(m);
            return old;
        }
    }
    t.loaded.push_back(m);
    return m;
}

ModulePtr release_module(const ModulePtr& m) {
    auto& t = table();
    std::lock_guard lock(t.mu);
    if (--m->refs > 0) return nullptr;
    auto it = std::find(t.loaded.begin(), t.loaded.end(), m);
    if (it == t.loaded.end()) return nullptr;
    ModulePtr gone = std::move(*it);
    t.loaded.erase(it);
    return gone;
}

std::vector<ModulePtr> loaded_modules() {
    auto& t = table();
    std::lock_guard lock(t.mu);
    return t.loaded;
}

}  // namespace w32
