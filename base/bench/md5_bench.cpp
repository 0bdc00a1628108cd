// MD5 throughput over 1 GiB (a 64 MiB buffer fed 16 times): our two digests against
// OpenSSL's in the same run.
#include <benchmark/benchmark.h>

#include <openssl/evp.h>

#include <cstdint>
#include <vector>

#include "base/md5.h"
#include "base/md5_context.h"

namespace {

constexpr size_t kSize = 64u << 20;
constexpr int kRounds = 16;  // 1 GiB a digest

const std::vector<unsigned char>& Buffer() {
    static const std::vector<unsigned char> buffer = [] {
        std::vector<unsigned char> b(kSize);
        uint32_t x = 12345;
        for (auto& byte : b) {
            x = x * 1103515245u + 12345u;
            byte = static_cast<unsigned char>(x >> 24);
        }
        return b;
    }();
    return buffer;
}

void BM_Md5Context(benchmark::State& state) {
    const auto& data = Buffer();
    for (auto _ : state) {
        base::Md5Context context;
        base::Md5Init(&context, 0);
        for (int i = 0; i < kRounds; ++i)
            base::Md5Update(&context, data.data(), static_cast<uint32_t>(data.size()));
        base::Md5Final(&context);
        benchmark::DoNotOptimize(context.digest);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kSize * kRounds);
}
BENCHMARK(BM_Md5Context)->Unit(benchmark::kMillisecond);

void BM_Md5Class(benchmark::State& state) {
    const auto& data = Buffer();
    base::MD5 md5;
    for (auto _ : state) {
        for (int i = 0; i < kRounds; ++i)
            md5.Update(data.data(), static_cast<int32_t>(data.size()));
        benchmark::DoNotOptimize(md5.FinalHex());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kSize * kRounds);
}
BENCHMARK(BM_Md5Class)->Unit(benchmark::kMillisecond);

void BM_OpenSslMd5(benchmark::State& state) {
    const auto& data = Buffer();
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    EVP_MD_CTX* ctx = EVP_MD_CTX_new();
    for (auto _ : state) {
        EVP_DigestInit_ex(ctx, EVP_md5(), nullptr);
        for (int i = 0; i < kRounds; ++i) EVP_DigestUpdate(ctx, data.data(), data.size());
        EVP_DigestFinal_ex(ctx, digest, &length);
        benchmark::DoNotOptimize(digest);
    }
    EVP_MD_CTX_free(ctx);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kSize * kRounds);
}
BENCHMARK(BM_OpenSslMd5)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
