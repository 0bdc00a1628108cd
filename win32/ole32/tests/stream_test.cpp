// Streams over global memory blocks: reading, seeking, writing, growing, sharing
// between clones, and who frees the block.
#include <objbase.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

HGLOBAL BlockWith(const std::string& text) {
    HGLOBAL mem = GlobalAlloc(GMEM_MOVEABLE, text.size());
    std::memcpy(GlobalLock(mem), text.data(), text.size());
    GlobalUnlock(mem);
    return mem;
}

std::string BlockText(HGLOBAL mem) {
    std::string s(static_cast<char*>(GlobalLock(mem)), GlobalSize(mem));
    GlobalUnlock(mem);
    return s;
}

std::string Read(IStream* stream, ULONG n) {
    std::string buf(n, '\0');
    ULONG got = 0;
    EXPECT_EQ(stream->Read(buf.data(), n, &got), S_OK);
    return buf.substr(0, got);
}

LARGE_INTEGER At(LONGLONG v) { return LARGE_INTEGER{.QuadPart = v}; }

TEST(HGlobalStream, ReadsAndSeeksWithinTheBlock) {
    HGLOBAL mem = BlockWith("0123456789");
    IStream* stream = nullptr;
    ASSERT_EQ(CreateStreamOnHGlobal(mem, FALSE, &stream), S_OK);
    EXPECT_EQ(Read(stream, 4), "0123");
    EXPECT_EQ(Read(stream, 16), "456789");
    EXPECT_EQ(Read(stream, 16), "");
    ULARGE_INTEGER pos;
    EXPECT_EQ(stream->Seek(At(-3), STREAM_SEEK_END, &pos), S_OK);
    EXPECT_EQ(pos.QuadPart, 7u);
    EXPECT_EQ(stream->Seek(At(-2), STREAM_SEEK_CUR, &pos), S_OK);
    EXPECT_EQ(Read(stream, 1), "5");
    EXPECT_EQ(stream->Seek(At(-1), STREAM_SEEK_SET, &pos), STG_E_INVALIDFUNCTION);
    EXPECT_EQ(stream->Seek(At(0), 7, &pos), STG_E_INVALIDFUNCTION);
    STATSTG st;
    ASSERT_EQ(stream->Stat(&st, STATFLAG_NONAME), S_OK);
    EXPECT_EQ(st.cbSize.QuadPart, 10u);
    EXPECT_EQ(stream->Read(nullptr, 1, nullptr), STG_E_INVALIDPOINTER);
    EXPECT_EQ(stream->Release(), 0u);
    EXPECT_EQ(BlockText(mem), "0123456789");  // not the stream's to free
    GlobalFree(mem);
    stream = reinterpret_cast<IStream*>(1);
    EXPECT_EQ(CreateStreamOnHGlobal(mem, FALSE, &stream), E_INVALIDARG);  // a freed block
    EXPECT_EQ(stream, nullptr);
    EXPECT_EQ(CreateStreamOnHGlobal(nullptr, TRUE, nullptr), E_INVALIDARG);
}

TEST(HGlobalStream, WritesGrowTheBlockClonesAndCopiesShareItAndTheLastOwnerFreesIt) {
    IStream *stream = nullptr, *clone = nullptr, *to = nullptr;
    ASSERT_EQ(CreateStreamOnHGlobal(BlockWith("abc"), TRUE, &stream), S_OK);
    ASSERT_EQ(stream->Seek(At(1), STREAM_SEEK_SET, nullptr), S_OK);
    ULONG put = 0;
    EXPECT_EQ(stream->Write("XYZW", 4, &put), S_OK);
    EXPECT_EQ(put, 4u);
    // A clone starts where its stream is, then keeps its own position and the block alive.
    ASSERT_EQ(stream->Clone(&clone), S_OK);
    ASSERT_EQ(clone->Write("!", 1, nullptr), S_OK);
    ASSERT_EQ(stream->Seek(At(0), STREAM_SEEK_SET, nullptr), S_OK);
    ASSERT_EQ(CreateStreamOnHGlobal(nullptr, TRUE, &to), S_OK);
    ULARGE_INTEGER want, read, written;
    want.QuadPart = 5;
    ASSERT_EQ(stream->CopyTo(to, want, &read, &written), S_OK);
    EXPECT_EQ(written.QuadPart, 5u);
    HGLOBAL held = nullptr, target = nullptr;
    ASSERT_EQ(GetHGlobalFromStream(stream, &held), S_OK);
    ASSERT_EQ(GetHGlobalFromStream(to, &target), S_OK);
    EXPECT_EQ(BlockText(held), "aXYZW!");
    EXPECT_EQ(BlockText(target), "aXYZW");
    void* seq = nullptr;
    EXPECT_EQ(stream->QueryInterface(IID_ISequentialStream, &seq), S_OK);
    EXPECT_EQ(seq, static_cast<void*>(stream));
    const IID other = {0x12345678, 1, 2, {3, 4, 5, 6, 7, 8, 9, 10}};
    EXPECT_EQ(stream->QueryInterface(other, &seq), E_NOINTERFACE);
    EXPECT_EQ(seq, nullptr);
    EXPECT_EQ(stream->Release(), 1u);
    EXPECT_EQ(stream->Release(), 0u);
    EXPECT_EQ(GlobalSize(held), 6u);
    EXPECT_EQ(clone->Release(), 0u);
    EXPECT_EQ(GlobalSize(held), 0u);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    to->Release();
}

}  // namespace
