// The object kinds the controller owns: managers (logic objects) and registered windows.
// Neither kind owns anything of its own here; the controller's tables own the instances.
#pragma once

namespace base {

class IObject {
public:
    virtual bool IsValid() = 0;

protected:
    ~IObject() = default;
};

// Base of every manager.
class LogicObject : public IObject {
public:
    bool IsValid() override { return true; }
    virtual ~LogicObject() = default;
    // A manager whose release must come before the others' (it owns threads that may
    // still use them) answers true.
    virtual bool NeedReleaseFirst() { return false; }
};

// Base of every window object the controller keeps.
class UIObject : public IObject {
public:
    bool IsValid() override { return true; }
    virtual ~UIObject() = default;
};

}  // namespace base
