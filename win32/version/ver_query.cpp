// VerQueryValueW over a version block (the tree laid out in w32/rsrc_format.h).
#include <w32/builtin.h>
#include <w32/error.h>
#include <w32/rsrc_format.h>

#include <string.h>

#include <string>
#include <vector>

namespace {

using w32::rsrc::align4;

struct Node {
    const uint8_t* start = nullptr;
    uint32_t length = 0;  // the node and its children
    w32::rsrc::VersionNode header{};
    std::wstring key;
    const uint8_t* value = nullptr;
    uint32_t children = 0;  // offset of the first child
};

bool read_node(const uint8_t* p, uint32_t avail, Node* out) {
    if (avail < sizeof(w32::rsrc::VersionNode)) return false;
    Node n;
    n.start = p;
    memcpy(&n.header, p, sizeof n.header);
    n.length = n.header.length;
    if (n.length > avail || n.length < sizeof n.header) return false;

    uint32_t at = align4(sizeof n.header);
    while (true) {
        if (at + sizeof(WCHAR) > n.length) return false;
        WCHAR c;
        memcpy(&c, p + at, sizeof c);
        at += sizeof(WCHAR);
        if (c == 0) break;
        n.key += c;
    }
    at = align4(at);
    uint32_t value_bytes =
        n.header.type == 1 ? n.header.value_length * sizeof(WCHAR) : n.header.value_length;
    if (value_bytes > 0 && (at > n.length || value_bytes > n.length - at)) return false;
    n.value = p + at;
    n.children = align4(at + value_bytes);
    *out = std::move(n);
    return true;
}

bool same_key(const std::wstring& a, const std::wstring& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        wchar_t x = a[i], y = b[i];
        if (x >= L'A' && x <= L'Z') x = x - L'A' + L'a';
        if (y >= L'A' && y <= L'Z') y = y - L'A' + L'a';
        if (x != y) return false;
    }
    return true;
}

bool find_child(const Node& parent, const std::wstring& key, Node* out) {
    uint32_t at = parent.children;
    while (at < parent.length) {
        Node child;
        if (!read_node(parent.start + at, parent.length - at, &child)) return false;
        if (same_key(child.key, key)) {
            *out = std::move(child);
            return true;
        }
        at += align4(child.length);
    }
    return false;
}

}  // namespace

BOOL WINAPI VerQueryValueW(LPCVOID block, LPCWSTR sub_block, LPVOID* buffer, PUINT length) {
    if (!block || !sub_block || !buffer) return w32::fail(ERROR_INVALID_PARAMETER);
    auto* p = static_cast<const uint8_t*>(block);
    w32::rsrc::VersionNode root_header;
    memcpy(&root_header, p, sizeof root_header);
    Node node;
    if (!read_node(p, root_header.length, &node)) return w32::fail(ERROR_RESOURCE_DATA_NOT_FOUND);

    std::wstring path(sub_block);
    size_t i = 0;
    while (i < path.size()) {
        while (i < path.size() && path[i] == L'\\') ++i;
        size_t j = path.find(L'\\', i);
        if (j == std::wstring::npos) j = path.size();
        if (j > i) {
            Node child;
            if (!find_child(node, path.substr(i, j - i), &child))
                return w32::fail(ERROR_RESOURCE_TYPE_NOT_FOUND);
            node = std::move(child);
        }
        i = j;
    }
    if (node.header.value_length == 0 && node.start == p)
        return w32::fail(ERROR_RESOURCE_TYPE_NOT_FOUND);
    *buffer = const_cast<uint8_t*>(node.value);
    if (length) *length = node.header.value_length;
    return TRUE;
}

W32_BUILTIN_EXPORT("version.dll", VerQueryValueW);
