// The cost of a log statement that its level filters out, and of one that is
// written and flushed to a log file.
#include "base/log.h"

#include <benchmark/benchmark.h>

#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

#include <string>

namespace {

void BM_FilteredStatement(benchmark::State& state) {
    CFileLog::ReportingLevel(LCAT_ALL) = LL_MESSAGE;
    int value = 0;
    for (auto _ : state) {
        LOG_DEBUG << "download progress " << ++value << " of " << 1000;
        benchmark::DoNotOptimize(value);
    }
}
BENCHMARK(BM_FilteredStatement);

void BM_WrittenStatement(benchmark::State& state) {
    const char* tmp = getenv("TMPDIR");
    std::string path = std::string(tmp && *tmp ? tmp : "/tmp") + "/log_bench_XXXXXX";
    const int fd = mkstemp(path.data());
    if (fd < 0) {
        state.SkipWithError("no temporary file");
        return;
    }
    FILE* file = fdopen(fd, "ab");
    fwrite("\xFF\xFE", 1, 2, file);
    COutput2FILE::Stream() = file;
    CFileLog::ReportingLevel(LCAT_ALL) = LL_MESSAGE;
    int value = 0;
    for (auto _ : state) {
        LOG_MESSAGE << "download progress " << ++value << " of " << 1000u << L" 下载";
    }
    COutput2FILE::Stream() = nullptr;
    fclose(file);
    unlink(path.c_str());
}
BENCHMARK(BM_WrittenStatement);

}  // namespace

BENCHMARK_MAIN();
