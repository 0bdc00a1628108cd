// The toolkit's drawing lock: one re-entrant process-wide lock over GDI drawing and
// the GDI objects that images cache.
#pragma once

#include <windows.h>

namespace Gui {

void EnterDrawLock();
void LeaveDrawLock();

class DrawLock {
public:
    DrawLock() { EnterDrawLock(); }
    ~DrawLock() { LeaveDrawLock(); }
    DrawLock(const DrawLock&) = delete;
    DrawLock& operator=(const DrawLock&) = delete;
};

typedef BOOL(WINAPI* AlphaBlendProc)(HDC, int, int, int, int, HDC, int, int, int, int,
                                     BLENDFUNCTION);
// AlphaBlend of "msimg32.dll", looked up once; null when it is not there.
AlphaBlendProc GetAlphaBlend();

}  // namespace Gui
