#pragma once
// The root of the system's classes. Code that holds a base pointer checks the concrete
// class before it uses it (the window identifies the answered command, tasks check
// their flow, the download task its message).

namespace wing {

class CObject {
public:
    virtual ~CObject() = default;

    // True when this object is a T or derives from it.
    template <class T>
    bool IsKindOf() const {
        return dynamic_cast<const T*>(this) != nullptr;
    }
};

// The object as a T when it is one, else null.
template <class T>
T* DynamicDowncast(CObject* object) {
    return dynamic_cast<T*>(object);
}

}  // namespace wing
