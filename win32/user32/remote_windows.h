// The rendezvous through which the user's processes find each other's top-level
// windows and post them private messages.
//
// Each process with windows keeps two entries in a private folder of the user's
// runtime folder: "<pid>.win", the list of its top-level windows (handle, thread,
// class, title), and "<pid>.sock", a datagram socket on which a small thread takes
// messages for those windows and posts them to the owning thread's queue (or, for a
// message sent, queues it as sent and writes the answer back on the socket that came
// with it). Entries of processes that ended (or whose pid was reused) are ignored and
// removed.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace w32::user::remote {

struct Entry {
    DWORD pid = 0;
    DWORD tid = 0;
    uint32_t hwnd = 0;
    std::wstring class_name;
    std::wstring title;
};

// Only these messages cross: their parameters are plain numbers (WM_NULL has none).
inline bool crosses(UINT msg) { return msg == WM_NULL || (msg >= WM_USER && msg <= 0xBFFF); }

// Replaces this process's list; starts the receiving thread on first use.
void publish(const std::vector<Entry>& mine);
// The windows of the user's other live processes.
std::vector<Entry> others();
// Whether that process still lists that window.
bool listed(DWORD pid, uint32_t hwnd);
// Posts one message; false with a Windows error when it cannot be delivered.
bool post(DWORD pid, uint32_t hwnd, UINT msg, WPARAM wparam, LPARAM lparam);
// Sends one message: a descriptor that yields the answer (an LRESULT) once the
// window's thread has handled it, or ends without one when the window or its process
// goes first; -1 with a Windows error when it cannot be delivered.
int send(DWORD pid, uint32_t hwnd, UINT msg, WPARAM wparam, LPARAM lparam);
// Takes this process's windows out of the rendezvous for good: from now on the
// user's other processes neither find nor reach them.
void withdraw();

}  // namespace w32::user::remote
