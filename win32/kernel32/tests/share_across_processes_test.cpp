#include <windows.h>

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <string>

#include "file_test_folder.h"

namespace {

// A child process that opens a file with CreateFileW and keeps it open until told.
class Holder {
public:
    Holder(const wchar_t* path, DWORD access, DWORD share) {
        int ready[2], done[2];
        if (pipe(ready) != 0 || pipe(done) != 0) return;
        pid_ = fork();
        if (pid_ == 0) {
            close(ready[0]);
            close(done[1]);
            HANDLE h = CreateFileW(path, access, share, nullptr, OPEN_EXISTING, 0, nullptr);
            char ok = h != INVALID_HANDLE_VALUE ? 'y' : 'n';
            (void)!write(ready[1], &ok, 1);
            char c;
            (void)!read(done[0], &c, 1);
            _exit(0);
        }
        close(ready[1]);
        close(done[0]);
        release_fd_ = done[1];
        char ok = 0;
        opened_ = read(ready[0], &ok, 1) == 1 && ok == 'y';
        close(ready[0]);
    }
    ~Holder() { stop(); }

    bool opened() const { return opened_; }
    void stop() {
        if (pid_ <= 0) return;
        close(release_fd_);
        waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }

private:
    pid_t pid_ = -1;
    int release_fd_ = -1;
    bool opened_ = false;
};

class ShareAcrossProcesses : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(dir_.path().empty());
        dir_.make_dir("t");
        dir_.set_drives("T=%/t");
        std::ofstream(dir_.path() + "/t/held.dat") << "data";
    }
    FileTestFolder dir_;
};

TEST_F(ShareAcrossProcesses, FileHeldWithoutShareDeleteCannotBeRenamedOrDeleted) {
    Holder child(L"T:\\held.dat", GENERIC_READ, FILE_SHARE_READ);
    ASSERT_TRUE(child.opened());
    EXPECT_FALSE(MoveFileExW(L"T:\\held.dat", L"T:\\held.dat.tmp", MOVEFILE_REPLACE_EXISTING));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    EXPECT_FALSE(DeleteFileW(L"T:\\held.dat"));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    EXPECT_EQ(CreateFileW(L"T:\\held.dat", GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                          0, nullptr),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    HANDLE reader = CreateFileW(L"T:\\held.dat", GENERIC_READ, FILE_SHARE_READ, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    EXPECT_NE(reader, INVALID_HANDLE_VALUE);
    CloseHandle(reader);

    child.stop();
    EXPECT_TRUE(MoveFileExW(L"T:\\held.dat", L"T:\\held.dat.tmp", MOVEFILE_REPLACE_EXISTING));
    EXPECT_TRUE(DeleteFileW(L"T:\\held.dat.tmp"));
}

TEST_F(ShareAcrossProcesses, ChildIsRefusedWhatThisProcessDenies) {
    HANDLE mine =
        CreateFileW(L"T:\\held.dat", GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(mine, INVALID_HANDLE_VALUE);
    {
        Holder child(L"T:\\held.dat", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE);
        EXPECT_FALSE(child.opened());
    }
    CloseHandle(mine);
    Holder child(L"T:\\held.dat", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE);
    EXPECT_TRUE(child.opened());
}

}  // namespace
