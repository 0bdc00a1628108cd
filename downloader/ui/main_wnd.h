// The downloader's main window: a skinned 600 x 279 top-level window without a system
// frame: the chrome of "mainwnd.sys" (icon, caption, minimise and close boxes, the
// title bar that drags it) over the main panel. Closing it only hides it; the tray
// icon and a second start bring it back. A window object of the controller's registry.
#pragma once

#include "ctrls/system_panel.h"
#include "downloader/ui/main_panel.h"
#include "downloader/ui/object_window_impl.h"

namespace downloader {

class MainWnd : public ObjectWindowImpl<MainWnd> {
public:
    // Centred on the work area, hidden until created and shown.
    MainWnd();

    // Hides the window (through the main window manager) instead of closing it.
    void Close() override;

    ctrls::SystemPanel& GetSystemPanel() { return system_; }
    MainPanel& GetMainPanel() { return main_; }

private:
    explicit MainWnd(const ctrls::SystemPanel::Style& chrome);

    ctrls::SystemPanel system_;
    MainPanel main_;
};

}  // namespace downloader
