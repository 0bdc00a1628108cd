// The record behind each HWND and the table that maps handles to records.
//
// Records, the class list and the z-order lists are guarded by user_mutex(); window
// procedures are never called with it held. HWND values are small and 32-bit: the low
// word names a slot, the high word a generation, so a stale handle never names the
// slot's next window. A window of another process found through the rendezvous gets a
// slot of its own here (a remote proxy), so its HWND cannot collide with a local one.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace w32::gdi {
class Bitmap;
}

namespace w32::user {

class Queue;
struct WindowClass;
struct PaintState;  // paint.h

enum class WindowKind { Normal, Desktop, MessageRoot, Remote };

struct Window {
    HWND hwnd = nullptr;
    WindowKind kind = WindowKind::Normal;
    std::shared_ptr<WindowClass> cls;
    std::shared_ptr<Queue> queue;  // the owning thread's queue
    DWORD tid = 0;
    DWORD pid = 0;
    HWND parent =
        nullptr;  // the desktop for top-level windows, the message root for message-only ones
    HWND owner = nullptr;
    std::vector<HWND> children;  // z-order, front first
    DWORD style = 0;
    DWORD ex_style = 0;
    WNDPROC proc = nullptr;
    HINSTANCE instance = nullptr;
    LONG_PTR id = 0;
    LONG_PTR user_data = 0;
    std::vector<BYTE> extra;
    std::wstring text;
    RECT rect{};    // window rectangle in the parent's client coordinates
    RECT client{};  // client rectangle, same coordinates
    RECT normal{};  // where a minimised or maximised window returns to
    HWND last_active_popup = nullptr;
    HICON icon_big = nullptr, icon_small = nullptr;  // what WM_SETICON gave it
    bool destroying = false;
    // An overlapped window hears its size and place (WM_SIZE, WM_MOVE) when first
    // shown rather than at creation.
    bool need_size = false;
    // Top-level windows: the backing store every DC of the window and its children
    // draws on, made (and resized) on first use after a change.
    std::shared_ptr<gdi::Bitmap> surface;
    std::shared_ptr<PaintState> paint;  // the update region, made on first use
    // WS_EX_LAYERED top-level windows: the attributes last set, and whether
    // UpdateLayeredWindow owns the pixels (then the window is never asked to paint).
    struct Layered {
        COLORREF key = 0;
        BYTE alpha = 255;
        DWORD flags = 0;          // LWA_ALPHA / LWA_COLORKEY
        bool attributes = false;  // SetLayeredWindowAttributes was called
        bool per_pixel = false;   // the last update asked for AC_SRC_ALPHA
        bool updated = false;     // UpdateLayeredWindow supplied the content
    } layered;
    // Remote proxies: the owner process and its own handle value.
    uint32_t remote_hwnd = 0;
    std::wstring remote_class;
};

using WindowPtr = std::shared_ptr<Window>;

std::mutex& user_mutex();

// The rest of these run with user_mutex() held.
WindowPtr find_window_locked(HWND hwnd);
// Gives the record a handle; null when the table is full.
HWND add_window_locked(const WindowPtr& w);
void remove_window_locked(HWND hwnd);
WindowPtr desktop_locked();
WindowPtr message_root_locked();
// The active (foreground) top-level window, the keyboard focus and the mouse capture:
// one of each for the process, each answered only to the thread that owns it.
HWND& foreground_locked();
HWND& focus_locked();
HWND& capture_locked();
HCURSOR& cursor_locked();

bool is_top_level_locked(const Window& w);
bool is_descendant_locked(HWND child, HWND ancestor);
void collect_descendants_locked(HWND hwnd, std::vector<HWND>* out);
// Screen position of the window's client origin.
POINT client_origin_locked(const Window& w);
// The window's owners, nearest first, up to the one that has none; a loop of owners
// (SetWindowLongPtrW can make one) ends before the first window seen again.
std::vector<WindowPtr> owners_locked(const Window& w);
// Moves hwnd within its parent's z-order list: HWND_TOP, HWND_BOTTOM or after a
// sibling, keeping topmost top-level windows in front of the others. A top-level
// window brought to the top brings its owners along unless !owners.
void place_in_zorder_locked(Window& w, HWND insert_after, bool owners = true);
// A visible owned window is always in front of its owner: one found behind it moves
// to just in front of it, taking the owner's band (an owned window of a topmost window
// is topmost too). Every other window keeps its place.
void keep_owned_in_front_locked(std::vector<HWND>& list);
void unlink_from_parent_locked(Window& w);

// Flags of WM_WINDOWPOSCHANGED beside the public SWP_ ones: the client area kept its
// size, or its place. DefWindowProcW then sends no WM_SIZE, or no WM_MOVE.
constexpr UINT kSwpNoClientSize = 0x0800;
constexpr UINT kSwpNoClientMove = 0x1000;

// The top-level window that w belongs to (w itself for a top-level window).
WindowPtr top_level_of_locked(WindowPtr w);

// Activation (focus.cpp); call without user_mutex(). Makes top (a top-level window,
// or null for none of this process) the active window with the messages Windows
// sends, how being WA_ACTIVE or WA_CLICKACTIVE; answers the previous one.
HWND set_active_window(HWND top, WORD how);
// A disabled window waits for its modal pop-up: the enabled pop-up it last activated
// (down a chain of them) is what activating it activates; top itself otherwise.
HWND modal_popup_locked(HWND top);
// After hwnd was hidden or minimised: another window takes the activation it had,
// and a child's parent the focus.
void after_hidden(HWND hwnd);
// Before a window is destroyed: the mouse capture it or a child holds ends.
void before_destroy(HWND hwnd);

// Frame thickness that a style adds around the client area (left, top, right, bottom).
RECT frame_insets(DWORD style, DWORD ex_style, bool menu);
// The desktop window's rectangle: the primary monitor's size, from the origin (see
// w32::screen::current for `open`).
RECT screen_rect(bool open = true);

// Locks for one lookup; null when hwnd names no window.
WindowPtr find_window(HWND hwnd);
// find_window, but sets ERROR_INVALID_WINDOW_HANDLE when there is none, and refuses
// the pseudo windows (desktop, message root, remote proxies) unless any_kind.
WindowPtr get_window(HWND hwnd, bool any_kind = false);

// Drops the windows of a thread that ended, without messages.
void forget_thread_windows(DWORD tid);
// Writes this process's top-level windows where the user's other processes find them.
void publish_windows();

// WM_PARENTNOTIFY from a child to its ancestors, up to the top-level window or the
// first that has WS_EX_NOPARENTNOTIFY. For a button press, point is the screen point
// and each ancestor gets it in its own client coordinates.
void send_parent_notify(HWND child, WORD event, POINT point = {});

// Calls the window's current procedure on this thread (0 when it has none).
LRESULT call_window_proc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam);

}  // namespace w32::user
