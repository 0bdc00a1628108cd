// The names of events, semaphores and mutexes within this process: one name, one
// live object, shared by every handle opened with that name.
#pragma once

#include <w32/object.h>

#include <functional>
#include <string>

namespace w32 {

// The name as objects are registered under it ("Local\" is the plain namespace).
std::wstring object_key(LPCWSTR name);

// A new handle to the live object registered under key, with ERROR_ALREADY_EXISTS;
// else to the object make() answers, registered under key, with ERROR_ALREADY_EXISTS
// when make() says the object existed elsewhere (in another process), ERROR_SUCCESS
// otherwise. A live object of another kind fails with ERROR_INVALID_HANDLE; make()
// answering null fails with the error it set. make() runs under the registry's lock,
// so that two threads creating one name make one object.
HANDLE named_handle(const std::wstring& key, Kind kind,
                    const std::function<ObjectPtr(bool* existed)>& make);

// Takes obj's name off the registry (when the name still means obj); for
// last_handle_closed() of a named object.
void forget_name(const std::wstring& key, const Object* obj);

}  // namespace w32
