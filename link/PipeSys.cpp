#include "link/PipeSys.h"

namespace {

class RealSys final : public PipeSys {
public:
    BOOL WriteFile(HANDLE h, const void* data, DWORD length, DWORD* moved, OVERLAPPED* ov) override {
        return ::WriteFile(h, data, length, moved, ov);
    }
    BOOL ReadFile(HANDLE h, void* data, DWORD length, DWORD* moved, OVERLAPPED* ov) override {
        return ::ReadFile(h, data, length, moved, ov);
    }
    BOOL GetOverlappedResult(HANDLE h, OVERLAPPED* ov, DWORD* moved, BOOL wait) override {
        return ::GetOverlappedResult(h, ov, moved, wait);
    }
    BOOL CancelIo(HANDLE h) override { return ::CancelIo(h); }
    void Sleep(DWORD ms) override { ::Sleep(ms); }
};

} // namespace

PipeSys& RealPipeSys() {
    static RealSys sys;
    return sys;
}
