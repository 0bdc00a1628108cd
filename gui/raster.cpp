#include "gui/raster.h"

#include <cstdlib>
#include <memory>

#include "gui/core/mutex.h"

namespace Gui {
namespace {

StaticMutex g_factory_lock;

// The factory array; freed at exit, after which nothing registers or loads.
struct FactoryList {
    VectorBase v;
    ~FactoryList() { VectorFree(v.vector); }
};

FactoryList& Factories() {
    static FactoryList list;
    return list;
}

template <class Load>
Image LoadAny(Load load) {
    StaticMutex::Lock lock(g_factory_lock);
    const VectorBase& v = Factories().v;
    const auto* factories = static_cast<const Raster::Factory*>(v.vector);
    for (int i = 0; i < v.items; ++i) {
        std::unique_ptr<Raster> raster(factories[i]());
        if (!raster) continue;  // the factory could not allocate
        Image img = load(*raster);
        if (!img.GetSize().IsEmpty()) return img;
    }
    return Image();
}

}  // namespace

Raster::Line& Raster::Line::operator=(Line&& other) noexcept {
    if (this != &other) {
        Free();
        Pick(other);
    }
    return *this;
}

void Raster::Line::Pick(Line& other) {
    data_ = other.data_;
    fmtdata_ = other.fmtdata_;
    raster_ = other.raster_;
    free_data_ = other.free_data_;
    free_fmtdata_ = other.free_fmtdata_;
    other.free_data_ = other.free_fmtdata_ = false;
}

void Raster::Line::Free() {
    // One allocation may serve as both rows.
    if (free_data_) free(const_cast<RGBA*>(data_));
    if (free_fmtdata_ && !(free_data_ && fmtdata_ == data_)) free(const_cast<void*>(fmtdata_));
    free_data_ = free_fmtdata_ = false;
}

Image Raster::Reserved0(DWORD&) { return Image(); }
Image Raster::LoadFile(const wchar_t*) { return Image(); }
Image Raster::LoadMemory(const void*, DWORD) { return Image(); }
void Raster::Reserved3(DWORD) {}
int Raster::Reserved4() { return 1; }
bool Raster::Reserved5() { return true; }
Raster::Info Raster::GetInfo() { return Info(); }
int Raster::Reserved9(DWORD) { return -1; }
bool Raster::Reserved10() { return false; }
int Raster::Reserved11() { return 0; }
void* Raster::Reserved12() { return nullptr; }
void* Raster::Reserved13() { return nullptr; }

void Raster::Register(Factory factory) {
    StaticMutex::Lock lock(g_factory_lock);
    VectorBase& v = Factories().v;
    if (v.items >= v.alloc) VectorGrowAndFree(v, sizeof(Factory));
    static_cast<Factory*>(v.vector)[v.items++] = factory;
}

const VectorBase& Raster::GetFactories() { return Factories().v; }

Image Raster::LoadAnyFile(const wchar_t* path) {
    return LoadAny([path](Raster& r) { return r.LoadFile(path); });
}

Image Raster::LoadAnyMemory(const void* data, DWORD length) {
    return LoadAny([data, length](Raster& r) { return r.LoadMemory(data, length); });
}

Size ImageRaster::GetSize() { return img_.GetSize(); }

Raster::Info ImageRaster::GetInfo() {
    Info info;
    const Point extra = img_.GetExtraPair();
    info.extra = Size(extra.x, extra.y);
    info.hotspot = img_.GetHotSpot();
    return info;
}

Raster::Line ImageRaster::GetLine(int row) {
    const RGBA* p = img_.GetPixels() + static_cast<ptrdiff_t>(img_.GetWidth()) * row;
    return Line(p, p, nullptr);
}

}  // namespace Gui
