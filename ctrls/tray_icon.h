// A notification-area icon. It is a hidden outermost control with a window of its
// own, which owns the icon and receives its notifications (message 0x800). The icon
// is added when the object is made and removed when it is destroyed.
#pragma once

#include <windows.h>

#include <string>

#include "ctrls/popup_ctrl.h"
#include "gui/core/callback.h"
#include "gui/image.h"

namespace ctrls {

class TrayIcon : public PopupCtrl {
public:
    static constexpr UINT kCallbackMessage = 0x800;

    // Run when the icon is clicked with the left or the right button (on release).
    Gui::Callback WhenLeftClick;
    Gui::Callback WhenRightClick;

    TrayIcon();
    ~TrayIcon() override;

    TrayIcon& SetIcon(const Gui::Image& image);
    TrayIcon& SetTooltip(const std::wstring& tip);
    // Removes the icon from the notification area, or puts it back.
    void Show(bool show = true) override;

    // The icon's id, unique in the process (from 1).
    UINT GetId() const { return id_; }
    // The icon is in the notification area.
    bool IsAdded() const { return added_; }

    LRESULT WindowProc(UINT message, WPARAM wparam, LPARAM lparam) override;

private:
    bool Notify(DWORD message, UINT flags);
    void Update(UINT flags);

    UINT id_;
    HICON icon_ = nullptr;
    std::wstring tip_;
    bool added_ = false;
};

}  // namespace ctrls
