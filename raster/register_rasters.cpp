#include "raster/register_rasters.h"

#include "gui/raster.h"
#include "raster/jpg_raster.h"
#include "raster/png_raster.h"

namespace raster {

void RegisterRasters() {
    Gui::Raster::Register(&PNGRaster::Create);
    Gui::Raster::Register(&JPGRaster::Create);
}

}  // namespace raster
