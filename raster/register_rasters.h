// Puts the file decoders into the toolkit's raster list, PNG first.
#pragma once

namespace raster {

void RegisterRasters();

}  // namespace raster
