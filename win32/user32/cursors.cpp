// The system's shared cursors. Each is a permanent object: DestroyCursor of one
// does nothing, and every LoadCursorW of an id answers the same handle. Their
// images come with the drawing layer; until then a cursor is its id alone.
#include <windows.h>

#include <iterator>

namespace {

struct SharedCursor {
    WORD id;
};

SharedCursor g_cursors[] = {
    {32512}, {32513}, {32514}, {32515}, {32516}, {32640}, {32641}, {32642}, {32643},
    {32644}, {32645}, {32646}, {32648}, {32649}, {32650}, {32651}, {32671}, {32672},
};

SharedCursor* find_shared(LPCWSTR name) {
    if (!IS_INTRESOURCE(name)) return nullptr;
    auto id = static_cast<WORD>(reinterpret_cast<ULONG_PTR>(name));
    for (auto& c : g_cursors) {
        if (c.id == id) return &c;
    }
    return nullptr;
}

}  // namespace

HCURSOR WINAPI LoadCursorW(HINSTANCE instance, LPCWSTR name) {
    // Programs carry no cursor resources here; only the system's own are known.
    SharedCursor* c = instance ? nullptr : find_shared(name);
    if (!c) {
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return nullptr;
    }
    return reinterpret_cast<HCURSOR>(c);
}

BOOL WINAPI DestroyCursor(HCURSOR cursor) {
    for (auto& c : g_cursors) {
        if (reinterpret_cast<HCURSOR>(&c) == cursor) return TRUE;
    }
    SetLastError(ERROR_INVALID_CURSOR_HANDLE);
    return FALSE;
}
