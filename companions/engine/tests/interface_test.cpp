// The library's boundary: its two exports, the table of eight operations, the
// records, and what it answers before any download has happened.
#include <dlfcn.h>

#include <cstring>

#include "support/engine_fixture.h"

namespace enginetest {
namespace {

using Slot = void*;

class InterfaceTest : public EngineTest {};

TEST_F(InterfaceTest, ExportsGetInstanceAndRelease) {
    EXPECT_NE(::dlsym(library_.handle(), "GetInstance"), nullptr);
    EXPECT_NE(::dlsym(library_.handle(), "Release"), nullptr);
    IDownloadEngine* a = engine();
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(library_.release(a), 0);
    engine_ = nullptr;
}

TEST_F(InterfaceTest, TableSlotsAnswerInTableOrder) {
    write_engine_file("http://127.0.0.1:9/x", 10, std::string(32, '0'));
    IDownloadEngine* e = engine();
    ASSERT_NE(e, nullptr);
    // The object's first word is the table; call the slots as plain functions.
    Slot* table = *reinterpret_cast<Slot**>(e);
    using KeyInfoOp = int32_t (*)(IDownloadEngine*, const DownloadEngineKey*, DownloadEngineInfo*);
    using KeyOp = int32_t (*)(IDownloadEngine*, const DownloadEngineKey*);
    using BareOp = int32_t (*)(IDownloadEngine*);
    using InfoOp = int32_t (*)(IDownloadEngine*, DownloadEngineInfo*);
    Key key(kGame, u"");
    Info info;

    EXPECT_EQ(reinterpret_cast<KeyInfoOp>(table[0])(e, key.get(), info.get()), 0);  // FindTask
    EXPECT_EQ(info.path(), u"");
    EXPECT_EQ(reinterpret_cast<KeyInfoOp>(table[1])(e, key.get(), info.get()), 0);  // QueryTask
    EXPECT_EQ(info->total_size, 10);
    EXPECT_EQ(reinterpret_cast<KeyOp>(table[3])(e, key.get()), kBadArgument);  // StartTask
    EXPECT_EQ(reinterpret_cast<BareOp>(table[4])(e), kNoTransfer);             // CancelTask
    EXPECT_EQ(reinterpret_cast<BareOp>(table[5])(e), kNoTransfer);             // PauseTask
    EXPECT_EQ(reinterpret_cast<BareOp>(table[6])(e), kNoTransfer);             // ResumeTask
    EXPECT_EQ(reinterpret_cast<InfoOp>(table[7])(e, info.get()), 3);           // QueryProgress
    EXPECT_EQ(reinterpret_cast<BareOp>(table[2])(e), 0);                       // Shutdown
    Key start_key(kGame, u"C:\\Games\\demo");
    EXPECT_EQ(reinterpret_cast<KeyOp>(table[3])(e, start_key.get()), kEngineClosed);
}

TEST_F(InterfaceTest, InfoRecordFieldsSitAtTheirByteOffsets) {
    serve(4096);
    ASSERT_EQ(start(), 0);
    Info info;
    ASSERT_EQ(wait_end(info), 0);
    const auto* raw = reinterpret_cast<const unsigned char*>(&*info);
    int32_t complete;
    int64_t total, downloaded;
    std::memcpy(&complete, raw + 0, 4);
    std::memcpy(&total, raw + 84896, 8);
    std::memcpy(&downloaded, raw + 84904, 8);
    EXPECT_EQ(complete, 1);
    EXPECT_EQ(total, 4096);
    EXPECT_EQ(downloaded, 4096);
    std::u16string launch(reinterpret_cast<const char16_t*>(raw + 84376));
    EXPECT_EQ(launch, u"setup_demo.exe");
    std::u16string path(reinterpret_cast<const char16_t*>(raw + 528));
    EXPECT_EQ(path, u"C:\\Games\\demo");
}

TEST_F(InterfaceTest, FindTaskWithoutEarlierDownloadAnswersAnEmptyPath) {
    Info info;
    EXPECT_EQ(find(info), 0);
    EXPECT_EQ(info.path(), u"");
    EXPECT_EQ(info->complete, 0);
    EXPECT_EQ(info->downloaded_size, 0);
}

TEST_F(InterfaceTest, DamagedTaskRecordCountsAsNoEarlierDownload) {
    write_file(tmp_.sub("data/Dravon") + "/demo.task", "key=demo\ncommitted=banana\n");
    Info info;
    EXPECT_EQ(find(info), 0);
    EXPECT_EQ(info.path(), u"");
}

TEST_F(InterfaceTest, QueryTaskAnswersTheEngineFileSizeWithoutTheNetwork) {
    // Nothing listens on the address: the answer must come from the files alone.
    write_engine_file("http://127.0.0.1:9/setup_demo.exe", 123456, std::string(32, 'a'));
    Info info;
    EXPECT_EQ(query(info), 0);
    EXPECT_EQ(info->total_size, 123456);
    EXPECT_EQ(info->downloaded_size, 0);
    EXPECT_EQ(info.launch_file(), u"setup_demo.exe");
}

TEST_F(InterfaceTest, QueryTaskNamesAMissingEngineFileAndAnUnknownGame) {
    Info info;
    EXPECT_EQ(query(info), kNoEngineFile);
    write_engine_file("http://127.0.0.1:9/x", 5, std::string(32, 'a'));
    Key other(u"nosuchgame", u"");
    EXPECT_EQ(engine()->QueryTask(other.get(), info.get()), kUnknownGame);
}

TEST_F(InterfaceTest, MalformedEngineFileEntryIsAnUnknownGame) {
    write_engine_file("ftp://127.0.0.1/x", 5, "not-an-md5");
    Info info;
    EXPECT_EQ(query(info), kUnknownGame);
}

TEST_F(InterfaceTest, StartTaskRefusesBadArguments) {
    write_engine_file("http://127.0.0.1:9/x", 5, std::string(32, 'a'));
    EXPECT_EQ(engine()->StartTask(nullptr), kBadArgument);
    EXPECT_EQ(start(u""), kBadArgument);
    Key no_game(u"", u"C:\\Games\\demo");
    EXPECT_EQ(engine()->StartTask(no_game.get()), kBadArgument);
    EXPECT_EQ(start(u"\\\\server\\share\\demo"), kBadSaveFolder);
    Info info;
    EXPECT_EQ(engine()->FindTask(nullptr, info.get()), kBadArgument);
}

TEST_F(InterfaceTest, UnusableTaskStoreAnswersTheEnginesCode) {
    // A folder below a plain file can never be made, not even by root.
    write_file(tmp_.path() + "/plain", "x");
    ::setenv("GDL_ENGINE_STORE", (tmp_.path() + "/plain/store").c_str(), 1);
    write_engine_file("http://127.0.0.1:9/x", 5, std::string(32, 'a'));
    EXPECT_EQ(start(), kStoreUnavailable);
}

TEST_F(InterfaceTest, GetInstanceTwiceSharesOneEngineUntilTheLastRelease) {
    IDownloadEngine* a = library_.get_instance();
    IDownloadEngine* b = library_.get_instance();
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a, b);
    library_.release(a);
    Info info;
    EXPECT_EQ(b->FindTask(Key(kGame, u"").get(), info.get()), 0);
    library_.release(b);
    EXPECT_EQ(b->FindTask(Key(kGame, u"").get(), info.get()), kEngineClosed);
}

TEST_F(InterfaceTest, LateCallsAfterReleaseAndFreeLibraryAnswerErrors) {
    IDownloadEngine* e = library_.get_instance();
    ASSERT_NE(e, nullptr);
    e->Shutdown();
    library_.release(e);
    library_.close();
    // The library stays mapped, and the released object answers instead of crashing.
    EXPECT_NE(::dlopen(ENGINE_LIBRARY_PATH, RTLD_NOW | RTLD_NOLOAD), nullptr);
    Info info;
    EXPECT_EQ(e->QueryProgress(info.get()), 3);
    EXPECT_EQ(e->PauseTask(), kEngineClosed);
    EXPECT_EQ(e->StartTask(Key(kGame, u"C:\\Games\\demo").get()), kEngineClosed);
}

}  // namespace
}  // namespace enginetest
