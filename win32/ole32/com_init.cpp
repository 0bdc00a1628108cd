// COM start-up per thread. Nothing here needs an apartment; the count only keeps
// the answers (S_OK, S_FALSE, RPC_E_CHANGED_MODE) what callers expect.
#include <objbase.h>

namespace {

thread_local int init_count = 0;
thread_local DWORD init_model = 0;

}  // namespace

HRESULT WINAPI CoInitializeEx(LPVOID, DWORD coinit) {
    DWORD model = coinit & COINIT_APARTMENTTHREADED;
    if (init_count > 0 && model != init_model) return RPC_E_CHANGED_MODE;
    init_model = model;
    return init_count++ == 0 ? S_OK : S_FALSE;
}

HRESULT WINAPI CoInitialize(LPVOID reserved) {
    return CoInitializeEx(reserved, COINIT_APARTMENTTHREADED);
}

void WINAPI CoUninitialize(void) {
    if (init_count > 0) --init_count;
}

HRESULT WINAPI CoCreateInstance(REFCLSID, LPUNKNOWN, DWORD, REFIID, LPVOID* object) {
    if (!object) return E_POINTER;
    *object = nullptr;
    return init_count > 0 ? REGDB_E_CLASSNOTREG : CO_E_NOTINITIALIZED;
}
