// The end of the desktop session, as a Windows program meets it when the user logs
// off: its top-level windows hear WM_QUERYENDSESSION and WM_ENDSESSION, then the
// process ends. Here a session ends when the X server goes away, or with SIGTERM or
// SIGHUP (what session managers send at logout).
#pragma once

#include <windef.h>

namespace w32::session {

// From now on the process ends with its session. A Win32 program's entry calls it; a
// process that does not (a test runner) goes on headless when its display goes and
// keeps its own signal actions. Signals ignored when the process started stay ignored.
void follow();
bool followed();

// Ends the session of the process, once (later calls do nothing), on a thread of its
// own: every top-level window gets WM_QUERYENDSESSION with `reason` as lParam, then
// WM_ENDSESSION (TRUE, `reason`), each on its own thread, and the process ends with
// exit code 0. Each window has 5 s for each message, whatever the others do; windows
// that refuse or do not answer keep nothing alive.
void end(LPARAM reason);

}  // namespace w32::session
