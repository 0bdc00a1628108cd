// The process-wide registry: it creates the one instance of a manager or window class on
// first request, hands it out by type, and owns it. The program derives its own controller
// and supplies Start.
//
// No lock: the first request of every class is made on the user-interface thread; other
// threads only look up objects that exist already.
#pragma once

#include <memory>
#include <string>
#include <type_traits>

#include "base/object.h"
#include "base/object_table.h"

namespace base {

class Controller {
public:
    Controller();
    // Virtual, unlike a bare registry, so that the program's controller can be destroyed
    // through the process-wide pointer. Releases window objects first, then the logic
    // objects in the order ObjectTable::ReleaseAll gives.
    virtual ~Controller();
    Controller(const Controller&) = delete;
    Controller& operator=(const Controller&) = delete;

    virtual bool Start(const std::wstring& command_line) = 0;

    // Null while the controller is being destroyed and the table is gone already.
    ObjectTable* GetObjectTable();
    UIObjectTable* GetUIObjectTable();

    // The one instance of T, made with T's default constructor on the first request.
    // A LogicObject class is kept in the logic table, a UIObject class in the UI table;
    // the answer is typed as that table's base. During destruction nothing is made:
    // null unless the object is still there.
    template <class T>
    auto GetObject() {
        static_assert(std::is_base_of_v<LogicObject, T> || std::is_base_of_v<UIObject, T>,
                      "the controller keeps logic objects and window objects only");
        if constexpr (std::is_base_of_v<LogicObject, T>) {
            ObjectTable* table = GetObjectTable();
            return table ? table->GetObject<T>() : static_cast<LogicObject*>(nullptr);
        } else {
            UIObjectTable* table = GetUIObjectTable();
            return table ? table->GetObject<T>() : static_cast<UIObject*>(nullptr);
        }
    }

    // Whether an instance of T is registered, without creating one.
    template <class T>
    bool HasObject() {
        if constexpr (std::is_base_of_v<LogicObject, T>) {
            ObjectTable* table = GetObjectTable();
            return table && table->FindObject(TypeId<T>()) != nullptr;
        } else {
            UIObjectTable* table = GetUIObjectTable();
            return table && table->FindObject(TypeId<T>()) != nullptr;
        }
    }

    bool HasUIObject(int type_id);
    bool RemoveUIObject(int type_id);

private:
    struct Pimpl;
    std::unique_ptr<Pimpl> pimpl_;
};

// The process-wide controller; null until the entry code sets it.
Controller* GetController();
void SetController(Controller* controller);

// On the process-wide controller; false when there is none.
bool HasUIObject(int type_id);
bool RemoveUIObject(int type_id);

// What a manager getter does: the process-wide controller's instance of T, checked down-cast.
// Null when no controller is set yet (a getter called too early must not crash).
template <class T>
T* GetRegisteredObject() {
    Controller* controller = GetController();
    if (controller == nullptr) return nullptr;
    return dynamic_cast<T*>(controller->GetObject<T>());
}

}  // namespace base
