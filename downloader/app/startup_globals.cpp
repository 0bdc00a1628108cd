// The process-wide objects that exist before the entry function runs, built in this
// order and torn down in the reverse order at exit. Compiled into the program itself,
// so the linker cannot drop them.
#include "downloader/message_loop.h"
#include "gui/ctrl.h"
#include "gui/timer.h"
#include "raster/register_rasters.h"
#include "syslib/err_obj_store.h"
#include "syslib/vaq_public_dll_helper.h"

downloader::AppModule g_app_module;

CVaqPublicDLLHelper<CVivIrorExportFuncs> g_viviror_dll;
CVaqPublicDLLHelper<CVaqConfExportFuncs> g_vaq_conf_dll;
CVaqPublicDLLHelper<CVaqUtilExportFuncs> g_vaq_util_dll;

namespace {

// PNG first, then JPEG: the order in which images are tried.
const bool g_rasters_registered [[maybe_unused]] = (raster::RegisterRasters(), true);

}  // namespace

// The skin package's empty archive items are built by the package code's own units
// (skin/xml_archive.h), which the program links through the skin's start.

ErrObjSharedStore g_err_obj_shared_store;

namespace {

// The toolkit's window map and time-callback list, made before the first window.
struct ToolkitStatics {
    ToolkitStatics() {
        Gui::Ctrl::GetWindowMap();
        Gui::InitTimeCallbacks();
    }
} g_toolkit_statics;

}  // namespace
