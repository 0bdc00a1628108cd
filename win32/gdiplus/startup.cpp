// GDI+ start-up: a count of live tokens. There is no background thread, so the
// notification hooks asked for with SuppressBackgroundThread do nothing.
#include <mutex>
#include <set>

#include "gdiplus/raster.h"

namespace gdip {
namespace {

struct Tokens {
    std::mutex lock;
    std::set<ULONG_PTR> live;
    ULONG_PTR next = 1;
};

Tokens& tokens() {
    static Tokens* t = new Tokens;
    return *t;
}

Status WINAPI hook(ULONG_PTR* token) {
    if (!token) return InvalidParameter;
    *token = 1;
    return Ok;
}

void WINAPI unhook(ULONG_PTR) {}

}  // namespace

bool started() {
    Tokens& t = tokens();
    std::lock_guard<std::mutex> guard(t.lock);
    return !t.live.empty();
}

}  // namespace gdip

Status WINAPI GdiplusStartup(ULONG_PTR* token, const GdiplusStartupInput* input,
                             GdiplusStartupOutput* output) {
    if (!token || !input) return InvalidParameter;
    if (input->GdiplusVersion < 1 || input->GdiplusVersion > 3) return UnsupportedGdiplusVersion;
    if (input->SuppressBackgroundThread && !output) return InvalidParameter;
    if (output) {
        output->NotificationHook = gdip::hook;
        output->NotificationUnhook = gdip::unhook;
    }
    gdip::Tokens& t = gdip::tokens();
    std::lock_guard<std::mutex> guard(t.lock);
    *token = t.next++;
    t.live.insert(*token);
    return Ok;
}

void WINAPI GdiplusShutdown(ULONG_PTR token) {
    gdip::Tokens& t = gdip::tokens();
    std::lock_guard<std::mutex> guard(t.lock);
    t.live.erase(token);
}
