#pragma once

#include "system/HandleOwner.h"

#include <windows.h>

// A kernel handle (CloseHandle). -1 (INVALID_HANDLE_VALUE) and null both mean "none": the device link library
// returns -1 on failure, other calls return null.
struct KernelHandleTraits {
    using Handle = HANDLE;
    static Handle None() noexcept { return INVALID_HANDLE_VALUE; }
    static bool IsNone(Handle h) noexcept { return h == INVALID_HANDLE_VALUE || h == nullptr; }
    static void Close(Handle h) noexcept { ::CloseHandle(h); }
};

// Owns one kernel handle and closes it exactly once; move-only.
using UniqueHandle = HandleOwner<KernelHandleTraits>;
