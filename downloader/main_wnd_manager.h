// The one place that creates, shows, hides and brings forward the main window, shows
// message boxes owned by it, and starts the download work once the window is up.
// Closing the main window only hides it.
#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "base/object.h"
#include "gui/core/pte.h"

namespace downloader {

class MainWndManager : public base::LogicObject, public Gui::Pte<MainWndManager> {
public:
    MainWndManager();
    ~MainWndManager() override;

    // Creates and shows the main window, then starts the download manager's
    // initialisation on the next timer pass.
    void CreateMainWnd();
    // The main window's handle, or null while there is none.
    HWND GetMainWndHandle();
    void ShowMainWnd();
    // Deferred to the next timer pass: the window may be inside its own message handling.
    void HideMainWnd();
    // MB_OK, owned by the main window when there is one; an empty caption is the
    // game's display name.
    int MessageBox(const std::wstring& text, const std::wstring& caption);

    struct Pimpl;

private:
    std::unique_ptr<Pimpl> pimpl_;
};

}  // namespace downloader

downloader::MainWndManager* GetMainWndManager();
