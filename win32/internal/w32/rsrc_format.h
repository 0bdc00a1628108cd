// The layout of embedded resources, shared by the packer (tools/rcpack) and the
// layer that reads them. A module keeps its resources in the allocated ELF
// section kResourceSection, which holds one or more blobs back to back, each
// starting on a 16-byte boundary. All numbers are little-endian.
//
//   blob:   BlobHeader, BlobEntry[entry_count], string pool, data
//   string pool: NUL-terminated UTF-8 names of string types and names
//   data:   each resource's bytes, on a 16-byte boundary
//
// Text inside resources (string tables, version blocks) is in this platform's
// WCHAR, four bytes, so a pointer into a resource is usable as an LPCWSTR.
#pragma once

#include <stdint.h>

namespace w32::rsrc {

inline constexpr char kResourceSection[] = ".win32rsrc";
inline constexpr char kMagic[8] = {'W', '3', '2', 'R', 'S', 'R', 'C', '1'};
inline constexpr uint32_t kAlign = 16;

struct BlobHeader {
    char magic[8];
    uint32_t total_size;  // the whole blob, header to the end of the data
    uint32_t entry_count;
    uint32_t pool_offset;  // from the start of the blob
    uint32_t pool_size;
    uint32_t reserved[2];
};
static_assert(sizeof(BlobHeader) == 32);

enum EntryFlags : uint16_t {
    kTypeIsString = 1,  // type is an offset into the string pool
    kNameIsString = 2,  // name is an offset into the string pool
};

struct BlobEntry {
    uint32_t type;
    uint32_t name;
    uint16_t lang;
    uint16_t flags;
    uint32_t data_offset;  // from the start of the blob
    uint32_t size;
};
static_assert(sizeof(BlobEntry) == 20);

// String tables, as Windows groups them: block (id / 16) + 1 of type RT_STRING
// holds strings id & ~15 to id | 15, each a length in WCHARs (one WCHAR-sized
// unit) followed by that many WCHARs, without a terminator.
inline constexpr uint32_t kStringsPerBlock = 16;

// Version resource (RT_VERSION, id 1): the tree Windows uses (VS_VERSIONINFO,
// StringFileInfo, StringTable, String, VarFileInfo, Var). Each node is a
// VersionNode, its key (NUL-terminated WCHARs) on the next 4-byte boundary, its
// value on the next 4-byte boundary after the key, its children each on a 4-byte
// boundary after the value. length covers the node and its children;
// value_length counts WCHARs for text values (type 1), bytes otherwise.
struct VersionNode {
    uint16_t length;
    uint16_t value_length;
    uint16_t type;  // 1: text value, 0: binary value
};
static_assert(sizeof(VersionNode) == 6);

inline constexpr uint32_t align4(uint32_t v) { return (v + 3u) & ~3u; }
inline constexpr uint32_t align16(uint32_t v) { return (v + kAlign - 1) & ~(kAlign - 1); }

}  // namespace w32::rsrc
