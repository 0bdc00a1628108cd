// The application module and its message loop: the loop offers each message to the
// registered filters before it is translated and dispatched, and runs the idle
// handlers when the queue is empty; it ends on WM_QUIT with that message's code.
#pragma once

#include <windows.h>

#include <vector>

namespace downloader {

class MessageFilter {
public:
    // TRUE when the message was handled and must not be dispatched.
    virtual BOOL PreTranslateMessage(MSG* msg) = 0;

protected:
    ~MessageFilter() = default;
};

class IdleHandler {
public:
    // TRUE to be called again while the queue stays empty.
    virtual BOOL OnIdle() = 0;

protected:
    ~IdleHandler() = default;
};

class MessageLoop {
public:
    void AddMessageFilter(MessageFilter* filter);
    void RemoveMessageFilter(MessageFilter* filter);
    void AddIdleHandler(IdleHandler* handler);
    void RemoveIdleHandler(IdleHandler* handler);
    int Run();

private:
    BOOL PreTranslateMessage(MSG* msg);
    BOOL OnIdle();

    std::vector<MessageFilter*> filters_;
    std::vector<IdleHandler*> idle_handlers_;
};

// The process's application module: built before the entry function runs,
// initialised and terminated by it; the running message loop is reached through it.
class AppModule {
public:
    AppModule();
    ~AppModule();
    AppModule(const AppModule&) = delete;
    AppModule& operator=(const AppModule&) = delete;

    void Init(HINSTANCE instance);
    void Term();
    HINSTANCE GetModuleInstance() const { return instance_; }
    bool AddMessageLoop(MessageLoop* loop);
    bool RemoveMessageLoop();
    MessageLoop* GetMessageLoop() const { return loop_; }

    // The first module built in the process, or null.
    static AppModule* Get();

private:
    HINSTANCE instance_ = nullptr;
    MessageLoop* loop_ = nullptr;
};

}  // namespace downloader
