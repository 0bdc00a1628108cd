// The download view: the status line (or the error text in its place), speed, size
// and percent, the progress bar, the save folder with its change and open buttons,
// and one big button at a time (start, continue, pause, resume, retry, restart,
// install) as the download state allows. It follows the download manager's signals
// and the configuration's download-path signal; placed by the skin's "mainwnd.*" keys.
#pragma once

#include <string>

#include "base/signals.h"
#include "ctrls/button.h"
#include "ctrls/progress_ctrl.h"
#include "ctrls/static_text.h"
#include "downloader/ui/click_gate.h"
#include "gui/ctrl.h"

namespace downloader {

class ProgressPanel : public Gui::Ctrl, public signals::has_slots<> {
public:
    // The big buttons, in the order of the skin keys they are made from.
    enum Action { kStart, kContinue, kPause, kResume, kRetry, kRestart, kInstall, kActions };

    // origin: where the panel sits in the window, whose pixels the skin counts in.
    explicit ProgressPanel(Gui::Point origin);

    void OnProgress(float fraction, const std::wstring& speed, const std::wstring& size,
                    bool animate);
    void OnInfo(const std::wstring& text, Gui::Color color, bool show);
    void OnError(const std::wstring& text);
    void OnFinished();
    void OnStateChanged();
    void OnDownloadPath();
    // The big button shown now, as a click on it.
    void PressDefault();

private:
    void ShowState(int state);
    void Press(int action);
    void ChangeFolder();
    void OpenFolder();

    ctrls::StaticText status_, error_, speed_, size_, percent_, folder_label_, folder_;
    ctrls::ProgressCtrl bar_;
    ctrls::Button actions_[kActions];
    ctrls::Button change_, open_;
    // The big buttons share their place, so they share one gate: the second click of
    // a quick double click on start must not pause the download it started.
    ClickGate action_gate_, change_gate_, open_gate_;
    Gui::Color status_ink_;  // an info line may colour the status line for a while
    int state_ = -1;
};

}  // namespace downloader
