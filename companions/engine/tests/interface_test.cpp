// The library's boundary: its two exports, the records, and what it answers before
// any download has happened.
#include <dlfcn.h>

#include "support/engine_fixture.h"

namespace enginetest {
namespace {

using InterfaceTest = EngineTest;

// Every GetInstance shares one engine until the last Release; a released engine, even
// after the library is let go, answers instead of crashing.
TEST_F(InterfaceTest, OneSharedEngineAnswersEvenAfterItsLastRelease) {
    IDownloadEngine* a = library_.get_instance();
    IDownloadEngine* b = library_.get_instance();
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a, b);
    EXPECT_EQ(library_.release(a), 0);
    Info info;
    EXPECT_EQ(b->FindTask(Key(kGame, u"").get(), info.get()), 0);
    library_.release(b);
    EXPECT_EQ(b->FindTask(Key(kGame, u"").get(), info.get()), kEngineClosed);
    library_.close();
    EXPECT_NE(::dlopen(ENGINE_LIBRARY_PATH, RTLD_NOW | RTLD_NOLOAD), nullptr);  // stays mapped
    EXPECT_EQ(b->QueryProgress(info.get()), 3);
    EXPECT_EQ(b->PauseTask(), kEngineClosed);
    EXPECT_EQ(b->StartTask(Key(kGame, u"C:\\Games\\demo").get()), kEngineClosed);
}

// Nothing listens on the address: the answers must come from the files alone.
TEST_F(InterfaceTest, AnswersBeforeAnyDownloadComeFromTheFilesAlone) {
    Info info;
    EXPECT_EQ(query(info), kNoEngineFile);
    write_engine_file("http://127.0.0.1:9/setup_demo.exe", 123456, std::string(32, 'a'));
    EXPECT_EQ(query(info), 0);
    EXPECT_EQ(std::make_pair(info->total_size, info->downloaded_size), std::make_pair(123456L, 0L));
    EXPECT_EQ(info.launch_file(), u"setup_demo.exe");
    EXPECT_EQ(engine()->QueryTask(Key(u"nosuchgame", u"").get(), info.get()), kUnknownGame);
    EXPECT_EQ(find(info), 0);
    EXPECT_EQ(info.path(), u"");
    EXPECT_EQ(info->complete + info->downloaded_size, 0);
    WriteAll(tmp_.folder("data/Dravon") + "/demo.task", "key=demo\ncommitted=banana\n");
    EXPECT_EQ(find(info), 0);  // a damaged record counts as none
    EXPECT_EQ(info.path(), u"");
    EXPECT_EQ(progress(info), 3);
    EXPECT_EQ(
        std::make_tuple(engine()->CancelTask(), engine()->PauseTask(), engine()->ResumeTask()),
        std::make_tuple(kNoTransfer, kNoTransfer, kNoTransfer));
    write_engine_file("ftp://127.0.0.1/x", 5, "not-an-md5");
    EXPECT_EQ(query(info), kUnknownGame);
}

TEST_F(InterfaceTest, StartRefusesBadArgumentsAnUnusableStoreAndAShutDownEngine) {
    write_engine_file("http://127.0.0.1:9/x", 5, std::string(32, 'a'));
    EXPECT_EQ(engine()->StartTask(nullptr), kBadArgument);
    EXPECT_EQ(start(u""), kBadArgument);
    EXPECT_EQ(engine()->StartTask(Key(u"", u"C:\\Games\\demo").get()), kBadArgument);
    EXPECT_EQ(start(u"\\\\server\\share\\demo"), kBadSaveFolder);
    Info info;
    EXPECT_EQ(engine()->FindTask(nullptr, info.get()), kBadArgument);
    EXPECT_EQ(engine()->Shutdown(), 0);
    EXPECT_EQ(start(), kEngineClosed);
    release_engine();
    // A folder below a plain file can never be made, not even by root.
    WriteAll(tmp_.file("plain"), "x");
    setenv("GDL_ENGINE_STORE", tmp_.file("plain/store").c_str(), 1);
    EXPECT_EQ(start(), kStoreUnavailable);
}

}  // namespace
}  // namespace enginetest
