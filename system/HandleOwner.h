// The one owner of a system handle: every handle the programs own (kernel objects, GDI objects, the device
// link library, the system's cryptography objects) is held by a HandleOwner with a traits type that says
// what "none" is and how the handle is given back:
//
//     struct Traits {
//         using Handle = ...;
//         static Handle None() noexcept;              // what an empty owner holds
//         static bool IsNone(Handle h) noexcept;      // also true for other values the system uses as "none"
//         static void Close(Handle h) noexcept;       // called once for each handle that is not none
//     };
//
// Move-only: a handle has one owner, and a moved-from owner holds none.
#pragma once

#include <utility>

template <class Traits> class HandleOwner {
public:
    using Handle = typename Traits::Handle;

    HandleOwner() noexcept = default;
    explicit HandleOwner(Handle h) noexcept : m_handle(h) {}
    ~HandleOwner() { Reset(); }

    HandleOwner(const HandleOwner&) = delete;
    HandleOwner& operator=(const HandleOwner&) = delete;
    HandleOwner(HandleOwner&& other) noexcept : m_handle(other.Release()) {}
    HandleOwner& operator=(HandleOwner&& other) noexcept {
        if (this != &other)
            Reset(other.Release());
        return *this;
    }

    Handle Get() const noexcept { return m_handle; }
    bool IsValid() const noexcept { return !Traits::IsNone(m_handle); }
    explicit operator bool() const noexcept { return IsValid(); }

    // Gives the handle up without closing it.
    Handle Release() noexcept { return std::exchange(m_handle, Traits::None()); }

    // Closes the handle held (unless it is `h` itself) and takes `h`.
    void Reset(Handle h = Traits::None()) noexcept {
        const Handle old = std::exchange(m_handle, h);
        if (!Traits::IsNone(old) && old != h)
            Traits::Close(old);
    }

private:
    Handle m_handle = Traits::None();
};

// The traits part of handles for which null is the only "none"; a traits type adds its Close.
template <class H> struct NullIsNone {
    using Handle = H;
    static Handle None() noexcept { return nullptr; }
    static bool IsNone(Handle h) noexcept { return h == nullptr; }
};
