// The controller's two tables: type id -> the one shared instance of that type.
// A table owns what is added to it; GetObject makes the one instance of a class on its
// first request.
// No lock: entries are added on the user-interface thread only, other threads only read.
#pragma once

#include <map>
#include <memory>
#include <type_traits>

#include <boost/shared_ptr.hpp>

#include "base/object.h"

namespace base {

// Each call answers the next type id: 1, 2, 3, ... for the life of the process.
int NextTypeId();

// The id of T, fixed by the first request for T; shared by both tables.
template <class T>
int TypeId() {
    static const int id = NextTypeId();
    return id;
}

class ObjectTable {
public:
    ObjectTable();
    ~ObjectTable();
    ObjectTable(const ObjectTable&) = delete;
    ObjectTable& operator=(const ObjectTable&) = delete;

    // The object stored under the id, or null.
    LogicObject* FindObject(int type_id) const;
    bool Contains(int type_id) const;
    // Takes ownership of obj. When the id is taken already obj is deleted and the answer
    // is null; otherwise the answer is obj.
    LogicObject* AddObject(int type_id, LogicObject* obj);
    // The object under T's type id, or a new T (default constructor) added there;
    // nothing new while the table is being released.
    template <class T>
    LogicObject* GetObject() {
        static_assert(std::is_base_of_v<LogicObject, T>, "the logic table keeps managers");
        const int id = TypeId<T>();
        if (Contains(id) || releasing_) return FindObject(id);
        return AddObject(id, new T());
    }
    // Destroys the objects that answer NeedReleaseFirst (ascending id order), then the
    // rest (descending id order, so later objects go before those they were built on).
    // The table stays usable while the destructors run, but adds nothing meanwhile.
    void ReleaseAll();
    bool IsReleasing() const { return releasing_; }

private:
    std::unique_ptr<std::map<int, boost::shared_ptr<LogicObject>>> map_;
    bool releasing_ = false;
};

class UIObjectTable {
public:
    UIObjectTable();
    ~UIObjectTable();
    UIObjectTable(const UIObjectTable&) = delete;
    UIObjectTable& operator=(const UIObjectTable&) = delete;

    UIObject* FindObject(int type_id) const;
    bool Contains(int type_id) const;
    UIObject* AddObject(int type_id, UIObject* obj);
    // As ObjectTable::GetObject, for window objects.
    template <class T>
    UIObject* GetObject() {
        static_assert(std::is_base_of_v<UIObject, T>, "the UI table keeps window objects");
        const int id = TypeId<T>();
        if (Contains(id) || releasing_) return FindObject(id);
        return AddObject(id, new T());
    }
    // Erases the entry and so releases the window object; false when the id is absent.
    bool RemoveObject(int type_id);
    // Releases every window object, the last registered type first; adds nothing meanwhile.
    void ReleaseAll();
    bool IsReleasing() const { return releasing_; }

private:
    std::unique_ptr<std::map<int, boost::shared_ptr<UIObject>>> map_;
    bool releasing_ = false;
};

}  // namespace base
