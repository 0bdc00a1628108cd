#include <w32/resource_dir.h>
#include <w32/rsrc_format.h>
#include <w32/text.h>

#include <string.h>

namespace w32 {
namespace {

std::wstring to_upper(std::wstring s) {
    for (auto& c : s)
        if (c >= L'a' && c <= L'z') c = static_cast<wchar_t>(c - L'a' + L'A');
    return s;
}

bool pool_name(const uint8_t* pool, uint32_t pool_size, uint32_t at, ResName* out) {
    if (at >= pool_size) return false;
    const void* end = memchr(pool + at, 0, pool_size - at);
    if (!end) return false;
    size_t len = static_cast<const uint8_t*>(end) - (pool + at);
    out->is_string = true;
    out->upper =
        to_upper(from_utf8(std::string_view(reinterpret_cast<const char*>(pool + at), len)));
    return true;
}

WORD primary(WORD lang) { return lang & 0x3FF; }

}  // namespace

bool ResName::from_arg(LPCWSTR arg, ResName* out) {
    *out = ResName{};
    if (IS_INTRESOURCE(arg)) {
        out->id = static_cast<uint32_t>(reinterpret_cast<ULONG_PTR>(arg));
        return out->id != 0;
    }
    if (!*arg) return false;
    if (arg[0] == L'#' && arg[1]) {
        uint32_t v = 0;
        const wchar_t* p = arg + 1;
        for (; *p >= L'0' && *p <= L'9' && v <= 0xFFFF; ++p)
            v = v * 10 + static_cast<uint32_t>(*p - L'0');
        if (!*p && v <= 0xFFFF) {
            out->id = v;
            return true;
        }
    }
    out->is_string = true;
    out->upper = to_upper(arg);
    return true;
}

bool ResourceDirectory::parse(const uint8_t* base, size_t size) {
    using namespace rsrc;
    std::vector<ResourceEntry> entries;
    size_t at = 0;
    while (at + sizeof(BlobHeader) <= size) {
        const uint8_t* blob = base + at;
        BlobHeader h;
        memcpy(&h, blob, sizeof h);
        if (memcmp(h.magic, kMagic, sizeof h.magic) != 0) {
            // Only alignment padding may follow the last blob.
            for (size_t i = at; i < size; ++i)
                if (base[i] != 0) return false;
            break;
        }
        size_t avail = size - at;
        if (h.total_size < sizeof h || h.total_size > avail || h.pool_offset > h.total_size ||
            h.pool_size > h.total_size - h.pool_offset || h.pool_offset < sizeof h ||
            (h.pool_offset - sizeof h) / sizeof(BlobEntry) < h.entry_count)
            return false;
        const uint8_t* pool = blob + h.pool_offset;
        for (uint32_t i = 0; i < h.entry_count; ++i) {
            BlobEntry be;
            memcpy(&be, blob + sizeof h + i * sizeof(BlobEntry), sizeof be);
            if (be.data_offset > h.total_size || be.size > h.total_size - be.data_offset)
                return false;
            ResourceEntry e;
            if (be.flags & kTypeIsString) {
                if (!pool_name(pool, h.pool_size, be.type, &e.type)) return false;
            } else {
                e.type.id = be.type;
            }
            if (be.flags & kNameIsString) {
                if (!pool_name(pool, h.pool_size, be.name, &e.name)) return false;
            } else {
                e.name.id = be.name;
            }
            e.lang = be.lang;
            e.data = blob + be.data_offset;
            e.size = be.size;
            entries.push_back(std::move(e));
        }
        at += align16(h.total_size);
    }
    entries_ = std::move(entries);
    return true;
}

bool ResourceDirectory::first_name(const ResName& type, ResName* out) const {
    const ResName* best = nullptr;
    for (const auto& e : entries_) {
        if (!(e.type == type)) continue;
        const ResName& n = e.name;
        if (!best || (n.is_string && (!best->is_string || n.upper < best->upper)) ||
            (!n.is_string && !best->is_string && n.id < best->id))
            best = &n;
    }
    if (best) *out = *best;
    return best != nullptr;
}

const ResourceEntry* ResourceDirectory::find(const ResName& type, const ResName& name,
                                             const WORD* lang, DWORD* error) const {
    bool type_seen = false;
    std::vector<const ResourceEntry*> matches;
    for (auto& e : entries_) {
        if (!(e.type == type)) continue;
        type_seen = true;
        if (e.name == name) matches.push_back(&e);
    }
    if (matches.empty()) {
        *error = type_seen ? ERROR_RESOURCE_NAME_NOT_FOUND : ERROR_RESOURCE_TYPE_NOT_FOUND;
        return nullptr;
    }
    auto with = [&](WORD l) -> const ResourceEntry* {
        for (auto* e : matches)
            if (e->lang == l) return e;
        return nullptr;
    };

    if (lang && *lang != 0) {
        if (auto* e = with(*lang)) return e;
        if (auto* e = with(primary(*lang))) return e;
        *error = ERROR_RESOURCE_LANG_NOT_FOUND;
        return nullptr;
    }
    static constexpr WORD kOrder[] = {0x0000, 0x0400, 0x0800, 0x0409};
    for (WORD l : kOrder)
        if (auto* e = with(l)) return e;
    const ResourceEntry* best = matches.front();
    for (auto* e : matches)
        if (e->lang < best->lang) best = e;
    return best;
}

}  // namespace w32
