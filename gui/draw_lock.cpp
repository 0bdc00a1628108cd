#include "gui/draw_lock.h"

#include "gui/core/mutex.h"

namespace Gui {
namespace {

StaticMutex g_draw_lock;
AlphaBlendProc g_alpha_blend;
bool g_alpha_blend_looked_up;

}  // namespace

void EnterDrawLock() { g_draw_lock.Enter(); }

void LeaveDrawLock() { g_draw_lock.Leave(); }

AlphaBlendProc GetAlphaBlend() {
    DrawLock lock;
    if (!g_alpha_blend_looked_up) {
        g_alpha_blend_looked_up = true;
        if (HMODULE msimg = LoadLibraryW(L"msimg32.dll"))
            g_alpha_blend = reinterpret_cast<AlphaBlendProc>(GetProcAddress(msimg, "AlphaBlend"));
    }
    return g_alpha_blend;
}

}  // namespace Gui
