// The skin tests decode pictures: the PNG and JPEG rasters are registered once for
// the whole test program, as the program itself does before its entry.
#include "raster/register_rasters.h"

namespace {
const bool kRegistered = (raster::RegisterRasters(), true);
}  // namespace
