#include "pack.h"

#include <w32/rsrc_format.h>

#include <stdio.h>
#include <string.h>

#include <map>
#include <memory>
#include <set>
#include <tuple>

namespace rcpack {
namespace {

constexpr uint32_t kRtString = 6;

void Put32(Bytes& b, uint32_t v) {
    for (int i = 0; i < 4; ++i) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

template <class T>
void PutAt(Bytes& b, size_t at, const T& v) {
    memcpy(b.data() + at, &v, sizeof v);
}

std::string Describe(const Resource& r) {
    auto id = [](const ResId& i) {
        return i.is_string ? "\"" + i.name + "\"" : std::to_string(i.id);
    };
    return id(r.type) + " " + id(r.name) + " (language " + std::to_string(r.lang) + ")";
}

}  // namespace

bool ReadFile(const std::string& path, Bytes* out) {
    std::unique_ptr<FILE, int (*)(FILE*)> f(fopen(path.c_str(), "rb"), fclose);
    if (!f) return false;
    out->clear();
    uint8_t buf[65536];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, f.get())) > 0) out->insert(out->end(), buf, buf + n);
    return !ferror(f.get());
}

Bytes BuildStringBlock(const std::vector<const StringEntry*>& entries) {
    const StringEntry* slot[w32::rsrc::kStringsPerBlock] = {};
    for (auto* e : entries) slot[e->id % w32::rsrc::kStringsPerBlock] = e;
    Bytes b;
    for (auto* e : slot) {
        if (!e) {
            Put32(b, 0);
            continue;
        }
        Put32(b, static_cast<uint32_t>(e->text.size()));
        for (char32_t c : e->text) Put32(b, c);
    }
    return b;
}

bool CollectResources(const Manifest& m, bool dll, std::vector<Resource>* out, std::string* error) {
    std::vector<Resource> res;
    for (auto& f : m.files) {
        Resource r{f.type, f.name, f.lang, {}};
        if (!ReadFile(f.path, &r.data)) {
            *error = "line " + std::to_string(f.line) + ": cannot read " + f.path;
            return false;
        }
        res.push_back(std::move(r));
    }

    std::map<std::pair<uint16_t, uint32_t>, std::vector<const StringEntry*>> blocks;
    for (auto& s : m.strings)
        blocks[{s.lang, s.id / w32::rsrc::kStringsPerBlock + 1}].push_back(&s);
    for (auto& [key, entries] : blocks) {
        Resource r;
        r.type.id = kRtString;
        r.name.id = key.second;
        r.lang = key.first;
        r.data = BuildStringBlock(entries);
        res.push_back(std::move(r));
    }

    uint32_t next_image = 1;
    for (auto& icon : m.icons) {
        Bytes file;
        if (!ReadFile(icon.path, &file)) {
            *error = "line " + std::to_string(icon.line) + ": cannot read " + icon.path;
            return false;
        }
        std::string why;
        if (!BuildIcon(file, icon.id, icon.lang, &next_image, &res, &why)) {
            *error = "line " + std::to_string(icon.line) + ": " + icon.path + ": " + why;
            return false;
        }
    }

    if (m.version.present) {
        Resource r;
        r.type.id = 16;
        r.name.id = 1;
        r.lang = m.version.lang;
        if (!BuildVersionBlock(m.version, dll, &r.data, error)) return false;
        res.push_back(std::move(r));
    }

    std::set<std::tuple<bool, uint32_t, std::string, bool, uint32_t, std::string, uint16_t>> seen;
    for (auto& r : res) {
        auto upper = [](std::string s) {
            for (auto& c : s)
                if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
            return s;
        };
        auto key = std::make_tuple(r.type.is_string, r.type.id, upper(r.type.name),
                                   r.name.is_string, r.name.id, upper(r.name.name), r.lang);
        if (!seen.insert(key).second) {
            *error = "resource " + Describe(r) + " given twice";
            return false;
        }
    }
    *out = std::move(res);
    return true;
}

Bytes BuildBlob(const std::vector<Resource>& resources) {
    using namespace w32::rsrc;
    Bytes pool;
    auto intern = [&pool](const std::string& s) {
        auto at = static_cast<uint32_t>(pool.size());
        pool.insert(pool.end(), s.begin(), s.end());
        pool.push_back(0);
        return at;
    };

    std::vector<BlobEntry> entries;
    for (auto& r : resources) {
        BlobEntry e{};
        e.type = r.type.is_string ? intern(r.type.name) : r.type.id;
        e.name = r.name.is_string ? intern(r.name.name) : r.name.id;
        e.lang = r.lang;
        e.flags = static_cast<uint16_t>((r.type.is_string ? kTypeIsString : 0) |
                                        (r.name.is_string ? kNameIsString : 0));
        e.size = static_cast<uint32_t>(r.data.size());
        entries.push_back(e);
    }

    uint32_t pool_offset =
        sizeof(BlobHeader) + static_cast<uint32_t>(entries.size() * sizeof(BlobEntry));
    uint32_t at = align16(pool_offset + static_cast<uint32_t>(pool.size()));
    for (size_t i = 0; i < entries.size(); ++i) {
        entries[i].data_offset = at;
        at = align16(at + entries[i].size);
    }

    Bytes blob(at, 0);
    BlobHeader h{};
    memcpy(h.magic, kMagic, sizeof h.magic);
    h.total_size = at;
    h.entry_count = static_cast<uint32_t>(entries.size());
    h.pool_offset = pool_offset;
    h.pool_size = static_cast<uint32_t>(pool.size());
    PutAt(blob, 0, h);
    for (size_t i = 0; i < entries.size(); ++i)
        PutAt(blob, sizeof h + i * sizeof(BlobEntry), entries[i]);
    if (!pool.empty()) memcpy(blob.data() + pool_offset, pool.data(), pool.size());
    for (size_t i = 0; i < entries.size(); ++i) {
        if (!resources[i].data.empty())
            memcpy(blob.data() + entries[i].data_offset, resources[i].data.data(),
                   resources[i].data.size());
    }
    return blob;
}

}  // namespace rcpack
