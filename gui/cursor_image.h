// Images to Windows cursors and back.
#pragma once

#include "gui/image.h"

namespace Gui {

// A new cursor (the caller destroys it) with the image's hot spot, or the system
// cursor itself for an image made from one; null for the empty image. Before
// Windows 2000 the size is cut to the system cursor size; before XP the cursor
// has a mask and no partial transparency.
HCURSOR ImageToCursor(const Image& img);

// The pixels and hot spot of an icon or cursor, which is destroyed afterwards;
// the empty image for a null or unreadable handle (then left alone).
Image ImageFromIcon(HICON icon);

// A system cursor (an IDC_ id) as an image that converts back to that cursor.
Image ImageFromSystemCursor(int id);

}  // namespace Gui
