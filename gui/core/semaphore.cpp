#include "gui/core/semaphore.h"

namespace Gui {

Semaphore::Semaphore() : handle_(CreateSemaphoreW(NULL, 0, 0x7fffffff, NULL)) {}

Semaphore::~Semaphore() { CloseHandle(handle_); }

void Semaphore::Release() { ReleaseSemaphore(handle_, 1, NULL); }

void Semaphore::Wait() { WaitForSingleObject(handle_, INFINITE); }

bool Semaphore::Wait(int timeout_ms) {
    return WaitForSingleObject(handle_, static_cast<DWORD>(timeout_ms)) == WAIT_OBJECT_0;
}

}  // namespace Gui
