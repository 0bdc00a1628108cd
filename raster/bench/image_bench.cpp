// Image work against its yardstick in the same run: JPEG through raster::JPGRaster
// (GDI+ decode, then one GdipBitmapGetPixel a pixel) against libjpeg-turbo decoding
// alone, and Gui::Rescale against pixman's bilinear scaling. Compare the medians:
//   image_bench --benchmark_repetitions=9 --benchmark_report_aggregates_only=true
#include <benchmark/benchmark.h>

#include <gdiplus.h>
#include <objbase.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "gui/rescale.h"
#include "raster/jpg_raster.h"
#include "reference.h"
#include "testing/image_files.h"

namespace {

// Smooth shapes with a little grain, compressed like a photograph.
uint32_t PhotoPixel(int x, int y) {
    uint32_t h = static_cast<uint32_t>(x) * 73856093u ^ static_cast<uint32_t>(y) * 19349663u;
    h = (h ^ (h >> 13)) * 0x5bd1e995u;
    const int grain = static_cast<int>(h >> 28) - 8;
    auto channel = [grain](double v) {
        const int c = static_cast<int>(127.5 + 127.5 * v) + grain;
        return static_cast<uint32_t>(c < 0 ? 0 : c > 255 ? 255 : c);
    };
    const double r = channel(std::sin(x * 0.011) * std::cos(y * 0.017));
    const double g = channel(std::sin((x + y) * 0.007));
    const double b = channel(std::cos(x * 0.003 - y * 0.013));
    return static_cast<uint32_t>(r) << 16 | static_cast<uint32_t>(g) << 8 |
           static_cast<uint32_t>(b);
}

const std::vector<unsigned char>& Jpeg(int cx, int cy) {
    auto write = [](int w, int h) {
        const std::string bytes = image_files::jpeg(w, h, PhotoPixel, 90);
        return std::vector<unsigned char>(bytes.begin(), bytes.end());
    };
    static std::vector<unsigned char> big = write(4000, 3000);
    static std::vector<unsigned char> small = write(600, 279);
    return cx == 4000 && cy == 3000 ? big : small;
}

void StartGdiplus() {
    static ULONG_PTR token = [] {
        ULONG_PTR t = 0;
        Gdiplus::GdiplusStartupInput input;
        Gdiplus::GdiplusStartup(&t, &input, nullptr);
        return t;
    }();
    (void)token;
}

void BM_JpgRaster(benchmark::State& state) {
    StartGdiplus();
    const auto& bytes = Jpeg(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    for (auto _ : state) {
        raster::JPGRaster r;
        Gui::Image img = r.LoadMemory(bytes.data(), static_cast<DWORD>(bytes.size()));
        if (img.GetWidth() != state.range(0)) state.SkipWithError("no image");
        benchmark::DoNotOptimize(img);
    }
    // FNV-1a of the pixels of one more load, so that runs show the same picture.
    raster::JPGRaster r;
    const Gui::Image img = r.LoadMemory(bytes.data(), static_cast<DWORD>(bytes.size()));
    uint32_t h = 2166136261u;
    const auto* p = reinterpret_cast<const uint8_t*>(img.GetPixels());
    for (size_t i = 0; i < static_cast<size_t>(img.GetLength()) * 4; ++i)
        h = (h ^ p[i]) * 16777619u;
    char label[32];
    std::snprintf(label, sizeof label, "image %08x", h);
    state.SetLabel(label);
}
BENCHMARK(BM_JpgRaster)->Args({4000, 3000})->Args({600, 279})->Unit(benchmark::kMillisecond);

// What one GdipBitmapGetPixel a pixel costs by itself, over a bitmap already decoded:
// the part of BM_JpgRaster that the raster's call pattern fixes.
void BM_OneCallPerPixel(benchmark::State& state) {
    StartGdiplus();
    const auto& bytes = Jpeg(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE, bytes.size());
    memcpy(GlobalLock(h), bytes.data(), bytes.size());
    GlobalUnlock(h);
    IStream* stream = nullptr;
    GpBitmap* bitmap = nullptr;
    if (CreateStreamOnHGlobal(h, TRUE, &stream) != S_OK ||
        GdipCreateBitmapFromStream(stream, &bitmap) != Ok) {
        state.SkipWithError("no bitmap");
        return;
    }
    stream->Release();
    const INT cx = static_cast<INT>(state.range(0)), cy = static_cast<INT>(state.range(1));
    std::vector<ARGB> out(static_cast<size_t>(cx) * cy);
    for (auto _ : state) {
        ARGB* p = out.data();
        for (INT y = 0; y < cy; ++y)
            for (INT x = 0; x < cx; ++x) GdipBitmapGetPixel(bitmap, x, y, p++);
        benchmark::DoNotOptimize(out.data());
    }
    GdipDisposeImage(bitmap);
}
BENCHMARK(BM_OneCallPerPixel)->Args({4000, 3000})->Args({600, 279})->Unit(benchmark::kMillisecond);

void BM_LibjpegTurbo(benchmark::State& state) {
    const auto& bytes = Jpeg(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    for (auto _ : state) benchmark::DoNotOptimize(bench::DecodeWithLibjpeg(bytes));
}
BENCHMARK(BM_LibjpegTurbo)->Args({4000, 3000})->Args({600, 279})->Unit(benchmark::kMillisecond);

Gui::Image Source(int cx, int cy) {
    Gui::ImageBuffer b(cx, cy);
    for (int y = 0; y < cy; ++y)
        for (int x = 0; x < cx; ++x) {
            const uint32_t p = PhotoPixel(x, y);
            b[y][x] = Gui::RGBA{static_cast<BYTE>(p), static_cast<BYTE>(p >> 8),
                                static_cast<BYTE>(p >> 16), 255};
        }
    return Gui::Image(b);
}

// With a last argument of 1, every run starts with the source out of the caches (a
// larger buffer is read first, untimed), as when an image is rescaled once: the
// reduction's source is larger than the cache either way, but the rows a filter
// reads may stay there from one run to the next.
void EvictCaches(benchmark::State& state) {
    if (state.range(4) == 0) return;
    static std::vector<uint64_t> other((size_t{96} << 20) / 8, 1);
    state.PauseTiming();
    uint64_t sum = 0;
    for (uint64_t& v : other) sum += v++;
    benchmark::DoNotOptimize(sum);
    state.ResumeTiming();
}

void BM_Rescale(benchmark::State& state) {
    const Gui::Image src =
        Source(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    const Gui::Size to(static_cast<int>(state.range(2)), static_cast<int>(state.range(3)));
    for (auto _ : state) {
        EvictCaches(state);
        benchmark::DoNotOptimize(Gui::Rescale(src, to));
    }
}
BENCHMARK(BM_Rescale)
    ->Args({600, 279, 1200, 558, 0})
    ->Args({4000, 3000, 400, 300, 0})
    ->Args({4000, 3000, 400, 300, 1})
    ->Unit(benchmark::kMillisecond);

// The floor of a reduction: only touching every cache line of the source rows the
// vertical map names.
void BM_RescaleRowsAlone(benchmark::State& state) {
    const Gui::Image src =
        Source(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    const int th = static_cast<int>(state.range(3));
    const Gui::RescaleMap y =
        Gui::BuildRescaleMap(0, th, 0, th, 0, src.GetHeight(), src.GetHeight());
    std::vector<int> rows;
    for (int k = 0, index = 0; k < y.count; ++k) {
        index += y.offsets[k];
        for (int j = 0; j < y.taps; ++j) rows.push_back(index + j * y.step);
    }
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    const size_t words = static_cast<size_t>(src.GetWidth());
    for (auto _ : state) {
        EvictCaches(state);
        uint32_t sum = 0;
        for (int r : rows) {
            const auto* p = reinterpret_cast<const uint32_t*>(src[r]);
            for (size_t i = 0; i < words; i += 16) sum += p[i];  // one word a cache line
        }
        benchmark::DoNotOptimize(sum);
    }
    state.counters["rows"] = static_cast<double>(rows.size());
}
BENCHMARK(BM_RescaleRowsAlone)
    ->Args({4000, 3000, 400, 300, 0})
    ->Args({4000, 3000, 400, 300, 1})
    ->Unit(benchmark::kMillisecond);

void BM_PixmanBilinear(benchmark::State& state) {
    const Gui::Image src =
        Source(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    const auto* pixels = reinterpret_cast<const uint32_t*>(src[0]);
    for (auto _ : state) {
        EvictCaches(state);
        benchmark::DoNotOptimize(bench::ScaleWithPixman(pixels, src.GetWidth(), src.GetHeight(),
                                                        static_cast<int>(state.range(2)),
                                                        static_cast<int>(state.range(3))));
    }
}
BENCHMARK(BM_PixmanBilinear)
    ->Args({600, 279, 1200, 558, 0})
    ->Args({4000, 3000, 400, 300, 0})
    ->Args({4000, 3000, 400, 300, 1})
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
