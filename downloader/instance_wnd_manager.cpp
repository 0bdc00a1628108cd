#include "downloader/instance_wnd_manager.h"

#include "base/controller.h"
#include "downloader/app_globals.h"
#include "downloader/main_wnd_manager.h"

namespace downloader {

namespace {

constexpr UINT kWakeMessage = 0x9401;

LRESULT CALLBACK InstanceWndProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == kWakeMessage) GetMainWndManager()->ShowMainWnd();
    return DefWindowProcW(hwnd, message, wparam, lparam);
}

HWND CreateInstanceWindow(const wchar_t* class_name) {
    HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSW wc = {};
    wc.lpfnWndProc = InstanceWndProc;
    wc.hInstance = instance;
    wc.lpszClassName = class_name;
    // A class left from an earlier call is simply used again.
    RegisterClassW(&wc);
    return CreateWindowExW(0, class_name, L"", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT,
                           CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, instance, nullptr);
}

}  // namespace

InstanceWndManager::InstanceWndManager() : hwnd_(nullptr) {}

InstanceWndManager::~InstanceWndManager() = default;

bool InstanceWndManager::Create() {
    if (IsWindow(hwnd_)) return true;
    hwnd_ = CreateInstanceWindow(GetInstanceWndClassName());
    return IsWindow(hwnd_) != FALSE;
}

void InstanceWndManager::Destroy() {
    if (hwnd_ && IsWindow(hwnd_)) DestroyWindow(hwnd_);
    hwnd_ = nullptr;
}

}  // namespace downloader

downloader::InstanceWndManager* GetInstanceWndManager() {
    return base::GetRegisteredObject<downloader::InstanceWndManager>();
}
