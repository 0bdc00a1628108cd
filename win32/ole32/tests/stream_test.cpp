// Streams over global memory blocks: reading, seeking, writing, growing, sharing
// between clones, and who frees the block.
#include <objbase.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

// A movable block holding text, as a caller prepares one for a stream.
HGLOBAL block_with(const std::string& text) {
    HGLOBAL mem = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, text.size());
    if (!mem) return nullptr;
    std::memcpy(GlobalLock(mem), text.data(), text.size());
    GlobalUnlock(mem);
    return mem;
}

std::string block_text(HGLOBAL mem) {
    std::string s(static_cast<char*>(GlobalLock(mem)), GlobalSize(mem));
    GlobalUnlock(mem);
    return s;
}

LARGE_INTEGER offset(LONGLONG v) {
    LARGE_INTEGER li;
    li.QuadPart = v;
    return li;
}

TEST(HGlobalStream, ReadsTheBlockFromTheStartAndStopsAtItsEnd) {
    HGLOBAL mem = block_with("0123456789");
    IStream* stream = nullptr;
    ASSERT_EQ(CreateStreamOnHGlobal(mem, FALSE, &stream), S_OK);
    char buf[16] = {};
    ULONG got = 0;
    EXPECT_EQ(stream->Read(buf, 4, &got), S_OK);
    EXPECT_EQ(got, 4u);
    EXPECT_EQ(std::string(buf, 4), "0123");
    EXPECT_EQ(stream->Read(buf, sizeof buf, &got), S_OK);
    EXPECT_EQ(got, 6u);
    EXPECT_EQ(std::string(buf, 6), "456789");
    EXPECT_EQ(stream->Read(buf, sizeof buf, &got), S_OK);
    EXPECT_EQ(got, 0u);
    EXPECT_EQ(stream->Release(), 0u);
    GlobalFree(mem);
}

TEST(HGlobalStream, SeekMovesFromEachOriginAndRefusesNegativePositions) {
    HGLOBAL mem = block_with("abcdefgh");
    IStream* stream = nullptr;
    ASSERT_EQ(CreateStreamOnHGlobal(mem, TRUE, &stream), S_OK);
    ULARGE_INTEGER pos;
    EXPECT_EQ(stream->Seek(offset(-3), STREAM_SEEK_END, &pos), S_OK);
    EXPECT_EQ(pos.QuadPart, 5u);
    EXPECT_EQ(stream->Seek(offset(-2), STREAM_SEEK_CUR, &pos), S_OK);
    EXPECT_EQ(pos.QuadPart, 3u);
    char c = 0;
    ULONG got = 0;
    stream->Read(&c, 1, &got);
    EXPECT_EQ(c, 'd');
    EXPECT_EQ(stream->Seek(offset(-1), STREAM_SEEK_SET, &pos), STG_E_INVALIDFUNCTION);
    EXPECT_EQ(stream->Seek(offset(0), 7, &pos), STG_E_INVALIDFUNCTION);
    EXPECT_EQ(stream->Seek(offset(1), STREAM_SEEK_SET, nullptr), S_OK);
    stream->Read(&c, 1, &got);
    EXPECT_EQ(c, 'b');
    stream->Release();
}

TEST(HGlobalStream, WritingPastTheEndGrowsTheBlockTheCallerStillOwns) {
    HGLOBAL mem = block_with("abc");
    IStream* stream = nullptr;
    ASSERT_EQ(CreateStreamOnHGlobal(mem, FALSE, &stream), S_OK);
    ASSERT_EQ(stream->Seek(offset(1), STREAM_SEEK_SET, nullptr), S_OK);
    ULONG put = 0;
    EXPECT_EQ(stream->Write("XYZW", 4, &put), S_OK);
    EXPECT_EQ(put, 4u);
    STATSTG st;
    ASSERT_EQ(stream->Stat(&st, STATFLAG_NONAME), S_OK);
    EXPECT_EQ(st.type, static_cast<DWORD>(STGTY_STREAM));
    EXPECT_EQ(st.cbSize.QuadPart, 5u);
    HGLOBAL from_stream = nullptr;
    ASSERT_EQ(GetHGlobalFromStream(stream, &from_stream), S_OK);
    EXPECT_EQ(from_stream, mem);
    EXPECT_EQ(stream->Release(), 0u);
    // Not owned by the stream: still there after the release.
    EXPECT_EQ(block_text(mem), "aXYZW");
    EXPECT_EQ(GlobalFree(mem), nullptr);
}

TEST(HGlobalStream, StreamOwningTheBlockFreesItOnLastRelease) {
    HGLOBAL mem = block_with("data");
    IStream* stream = nullptr;
    ASSERT_EQ(CreateStreamOnHGlobal(mem, TRUE, &stream), S_OK);
    IStream* clone = nullptr;
    ASSERT_EQ(stream->Clone(&clone), S_OK);
    EXPECT_EQ(stream->Release(), 0u);
    EXPECT_EQ(GlobalSize(mem), 4u);  // the clone keeps it alive
    EXPECT_EQ(clone->Release(), 0u);
    EXPECT_EQ(GlobalSize(mem), 0u);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

TEST(HGlobalStream, ClonesShareContentButKeepTheirOwnPositions) {
    IStream* stream = nullptr;
    ASSERT_EQ(CreateStreamOnHGlobal(nullptr, TRUE, &stream), S_OK);
    ASSERT_EQ(stream->Write("hello", 5, nullptr), S_OK);
    IStream* clone = nullptr;
    ASSERT_EQ(stream->Clone(&clone), S_OK);
    ASSERT_EQ(stream->Seek(offset(0), STREAM_SEEK_SET, nullptr), S_OK);
    ASSERT_EQ(clone->Write(" world", 6, nullptr), S_OK);
    char buf[16] = {};
    ULONG got = 0;
    ASSERT_EQ(stream->Read(buf, sizeof buf, &got), S_OK);
    EXPECT_EQ(std::string(buf, got), "hello world");
    clone->Release();
    stream->Release();
}

TEST(HGlobalStream, QueryInterfaceAnswersStreamInterfacesOnly) {
    IStream* stream = nullptr;
    ASSERT_EQ(CreateStreamOnHGlobal(nullptr, TRUE, &stream), S_OK);
    void* unknown = nullptr;
    EXPECT_EQ(stream->QueryInterface(IID_IUnknown, &unknown), S_OK);
    EXPECT_EQ(unknown, static_cast<void*>(stream));
    void* seq = nullptr;
    EXPECT_EQ(stream->QueryInterface(IID_ISequentialStream, &seq), S_OK);
    const IID other = {0x12345678, 1, 2, {3, 4, 5, 6, 7, 8, 9, 10}};
    void* none = reinterpret_cast<void*>(1);
    EXPECT_EQ(stream->QueryInterface(other, &none), E_NOINTERFACE);
    EXPECT_EQ(none, nullptr);
    EXPECT_EQ(stream->Release(), 2u);
    EXPECT_EQ(stream->Release(), 1u);
    EXPECT_EQ(stream->Release(), 0u);
}

TEST(HGlobalStream, CopyToMovesBytesIntoAnotherStream) {
    HGLOBAL mem = block_with("copy me please");
    IStream* from = nullptr;
    IStream* to = nullptr;
    ASSERT_EQ(CreateStreamOnHGlobal(mem, TRUE, &from), S_OK);
    ASSERT_EQ(CreateStreamOnHGlobal(nullptr, TRUE, &to), S_OK);
    ULARGE_INTEGER want, read, written;
    want.QuadPart = 7;
    ASSERT_EQ(from->CopyTo(to, want, &read, &written), S_OK);
    EXPECT_EQ(read.QuadPart, 7u);
    EXPECT_EQ(written.QuadPart, 7u);
    HGLOBAL target = nullptr;
    ASSERT_EQ(GetHGlobalFromStream(to, &target), S_OK);
    EXPECT_EQ(block_text(target), "copy me");
    from->Release();
    to->Release();
}

TEST(HGlobalStream, NullArgumentsAndForeignHandlesAreRefused) {
    EXPECT_EQ(CreateStreamOnHGlobal(nullptr, TRUE, nullptr), E_INVALIDARG);
    HGLOBAL freed = block_with("x");
    GlobalFree(freed);
    IStream* stream = reinterpret_cast<IStream*>(1);
    EXPECT_EQ(CreateStreamOnHGlobal(freed, FALSE, &stream), E_INVALIDARG);
    EXPECT_EQ(stream, nullptr);
    ASSERT_EQ(CreateStreamOnHGlobal(nullptr, TRUE, &stream), S_OK);
    EXPECT_EQ(stream->Read(nullptr, 1, nullptr), STG_E_INVALIDPOINTER);
    EXPECT_EQ(stream->LockRegion(ULARGE_INTEGER{}, ULARGE_INTEGER{}, 0), STG_E_INVALIDFUNCTION);
    stream->Release();
}

}  // namespace
