// A top-level window that is also a window object of the controller's registry: when
// its window has been destroyed it takes itself out of the registry, which releases
// (deletes) it. T is the registered class, Base the window class it builds on.
#pragma once

#include "base/controller.h"
#include "base/object.h"
#include "ctrls/top_window.h"

namespace downloader {

template <class T, class Base = ctrls::TopWindow>
class ObjectWindowImpl : public Base, public base::UIObject {
public:
    ObjectWindowImpl() : type_id_(base::TypeId<T>()) {}

protected:
    // The registry may delete this object here; nothing touches it afterwards.
    void OnWindowDestroyed() override {
        if (base::HasUIObject(type_id_)) base::RemoveUIObject(type_id_);
    }

private:
    const int type_id_;
};

}  // namespace downloader
