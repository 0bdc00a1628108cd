#include "downloader/message_loop.h"

#include <algorithm>

namespace downloader {

namespace {

AppModule* g_module = nullptr;

// Messages that come often without anything having changed do not wake the idle handlers.
bool IsIdleMessage(const MSG& msg) {
    return msg.message != WM_MOUSEMOVE && msg.message != 0x00A0 /* WM_NCMOUSEMOVE */ &&
           msg.message != WM_PAINT && msg.message != WM_TIMER;
}

template <class T>
void Remove(std::vector<T*>& list, T* item) {
    list.erase(std::remove(list.begin(), list.end(), item), list.end());
}

}  // namespace

void MessageLoop::AddMessageFilter(MessageFilter* filter) { filters_.push_back(filter); }
void MessageLoop::RemoveMessageFilter(MessageFilter* filter) { Remove(filters_, filter); }
void MessageLoop::AddIdleHandler(IdleHandler* handler) { idle_handlers_.push_back(handler); }
void MessageLoop::RemoveIdleHandler(IdleHandler* handler) { Remove(idle_handlers_, handler); }

// The lists may change while they are walked (a filter removing itself): walk copies.
BOOL MessageLoop::PreTranslateMessage(MSG* msg) {
    const std::vector<MessageFilter*> filters = filters_;
    for (auto it = filters.rbegin(); it != filters.rend(); ++it) {
        if ((*it)->PreTranslateMessage(msg)) return TRUE;
    }
    return FALSE;
}

BOOL MessageLoop::OnIdle() {
    const std::vector<IdleHandler*> handlers = idle_handlers_;
    BOOL again = FALSE;
    for (IdleHandler* handler : handlers) again |= handler->OnIdle();
    return again;
}

int MessageLoop::Run() {
    MSG msg = {};
    bool idle = true;
    for (;;) {
        while (idle && !PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE)) {
            if (!OnIdle()) idle = false;
        }
        const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
        if (got == -1) continue;
        if (!got) break;
        if (!PreTranslateMessage(&msg)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        if (IsIdleMessage(msg)) idle = true;
    }
    return static_cast<int>(msg.wParam);
}

AppModule::AppModule() {
    if (!g_module) g_module = this;
}

AppModule::~AppModule() {
    if (g_module == this) g_module = nullptr;
}

void AppModule::Init(HINSTANCE instance) { instance_ = instance; }

void AppModule::Term() {
    loop_ = nullptr;
    instance_ = nullptr;
}

bool AppModule::AddMessageLoop(MessageLoop* loop) {
    if (loop_ || !loop) return false;
    loop_ = loop;
    return true;
}

bool AppModule::RemoveMessageLoop() {
    if (!loop_) return false;
    loop_ = nullptr;
    return true;
}

AppModule* AppModule::Get() { return g_module; }

}  // namespace downloader
