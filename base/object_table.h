// The controller's two tables: type id -> the one shared instance of that type.
// A table never creates objects on its own; it owns what is added to it.
// No lock: entries are added on the user-interface thread only, other threads only read.
#pragma once

#include <map>
#include <memory>

#include <boost/shared_ptr.hpp>

#include "base/object.h"

namespace base {

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
