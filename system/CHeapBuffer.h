#pragma once

#include <cstdlib>
#include <memory>

#include <windows.h>

// Image buffers come from the C heap (malloc) and are freed with free, whoever finishes with them.
struct CHeapFree {
    void operator()(BYTE* p) const { std::free(p); }
};
using CHeapBuffer = std::unique_ptr<BYTE, CHeapFree>;

inline CHeapBuffer AllocateCHeap(std::size_t cb) {
    return CHeapBuffer(static_cast<BYTE*>(std::malloc(cb ? cb : 1)));
}
