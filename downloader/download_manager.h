// Drives the download engine for the one game of this build: loads it, looks for an
// earlier download, asks the task's state, starts, pauses, resumes and retries the
// task, polls its progress once a second on the download pool and hands a complete
// download to the installer start. It keeps the download state and tells the window
// about everything through its signals, which it emits on the user-interface thread
// only.
#pragma once

#include <stdint.h>

#include <memory>
#include <string>

#include "base/object.h"
#include "base/signals.h"
#include "gui/color.h"
#include "gui/core/pte.h"

namespace downloader {

enum DownloadState : int32_t {
    Init = 0,         // the engine is being prepared
    NoRecord,         // the engine has no earlier download of the game
    Unfinished,       // an unfinished earlier download exists
    ReadyToStart,     // start begins a new download
    ReadyToContinue,  // start continues the earlier download
    Starting,
    Downloading,
    Verifying,  // all bytes are in; the engine has not reported the file complete yet
    Paused,
    Complete,
    Failed,  // retry runs the download again
    Broken,  // the file failed its check; retry starts the program anew
};

class DownloadManager : public base::LogicObject, public Gui::Pte<DownloadManager> {
public:
    DownloadManager();
    ~DownloadManager() override;

    // Fraction done (0 to 1), speed text, size text, whether to move the bar smoothly.
    signals::signal4<float, const std::wstring&, const std::wstring&, bool> SigProgress;
    // Nothing emits it; the progress panel listens.
    signals::signal3<const std::wstring&, Gui::Color, bool> SigInfo;
    signals::signal1<const std::wstring&> SigError;
    signals::signal0<> SigFinished;
    // One emission for every state change; the receiver reads GetState.
    signals::signal0<> SigStateChanged;

    void Init();
    void Start();
    bool Pause();
    bool Resume();
    void Retry();
    // Gives the engine back and frees its library, once no pool work is inside it.
    void Release();
    DownloadState GetState();
    // The installer's file name in the save folder, empty when the engine cannot say.
    std::wstring GetInstallerFileName();

    struct Pimpl;

private:
    std::unique_ptr<Pimpl> pimpl_;
};

}  // namespace downloader

downloader::DownloadManager* GetDownloadManager();
