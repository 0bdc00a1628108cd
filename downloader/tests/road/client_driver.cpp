// The client as the program runs it, with the progress panel played over standard input
// and output: each input line presses a button ("start", "pause", "resume", "retry",
// "restart", "install"); the panel's news goes out a line each: "pid N", "state N", "progress F",
// "error TEXT", "finished".
#include <windows.h>

#include <iostream>
#include <thread>

#include "base/signals.h"
#include "base/string_util.h"
#include "downloader/client_manager.h"
#include "downloader/download_manager.h"
#include "downloader/entry.h"
#include "gui/timer.h"

namespace {

void Say(const std::string& line) { std::cout << line << std::endl; }

struct Panel : signals::has_slots<> {
    void Attach() {
        downloader::DownloadManager* m = GetDownloadManager();
        m->SigStateChanged.connect(this, &Panel::OnState);
        m->SigProgress.connect(this, &Panel::OnProgress);
        m->SigError.connect(this, &Panel::OnError);
        m->SigFinished.connect(this, &Panel::OnFinished);
    }
    void OnState() { Say("state " + std::to_string(GetDownloadManager()->GetState())); }
    void OnProgress(float f, const std::wstring&, const std::wstring&, bool) {
        Say("progress " + std::to_string(f));
    }
    void OnError(const std::wstring& text) { Say("error " + base::WideToUtf8(text)); }
    void OnFinished() { Say("finished"); }
    void Press(std::string button) {
        downloader::DownloadManager* m = GetDownloadManager();
        if (button == "start") m->Start();
        if (button == "pause") m->Pause();
        if (button == "resume") m->Resume();
        if (button == "retry") m->Retry();
        if (button == "restart") GetClientManager()->Restart();
        if (button == "install") GetClientManager()->InstallExe();
    }
} g_panel;

}  // namespace

extern "C" int WINAPI wWinMain(HINSTANCE instance, HINSTANCE previous, LPWSTR command_line,
                               int show) {
    Say("pid " + std::to_string(GetCurrentProcessId()));
    Gui::PostCallback(Gui::MakeCallback(&g_panel, &Panel::Attach));
    std::thread([] {
        for (std::string line; std::getline(std::cin, line);)
            Gui::PostCallback(Gui::MakeCallbackArg(&g_panel, &Panel::Press, line));
    }).detach();
    return downloader::WinMain(instance, previous, command_line, show);
}
