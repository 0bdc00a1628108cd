// Owns the client's life: refuses a second copy for the same game and wakes the
// first, starts the other managers in order, writes the 7z tool and the download
// engine out of the program's resources, starts the installer when the download is
// complete, and ends or restarts the program.
#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "base/object.h"

namespace downloader {

// The named mutex of the single-instance check; closing it lets a new copy start.
class SingleInstanceMutex {
public:
    // Creates (owning) the mutex of that name and notes whether it existed already.
    explicit SingleInstanceMutex(const wchar_t* name);
    ~SingleInstanceMutex();
    SingleInstanceMutex(const SingleInstanceMutex&) = delete;
    SingleInstanceMutex& operator=(const SingleInstanceMutex&) = delete;

    bool IsAlreadyRunning() const { return already_running_ != 0; }
    // Waits up to ms for the running copy to let the mutex go (it ended); this copy
    // then owns it and is the one that runs.
    bool TakeOver(DWORD ms);

private:
    LONG already_running_;
    HANDLE mutex_;
};

class ClientManager : public base::LogicObject {
public:
    ClientManager();
    ~ClientManager() override;

    // False when another copy runs: that copy is woken and this one quits (a copy
    // that does not answer is named to the user instead).
    bool Start(const std::wstring& command_line);
    // Stops the managers and quits a second later.
    void Exit();
    // Once set, stays set; pool work stops at its next look.
    bool IsQuitting();
    // Pool thread: 7za.exe, then the engine archive unpacked with it, into the
    // temporary folder.
    bool UnzipTools();
    void Restart();
    void InstallExe();

    struct Pimpl;

private:
    std::unique_ptr<Pimpl> pimpl_;
};

}  // namespace downloader

downloader::ClientManager* GetClientManager();
