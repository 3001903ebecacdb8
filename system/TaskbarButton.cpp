#include "system/TaskbarButton.h"

#include <shobjidl.h>

#include <utility>

namespace {

// The calling thread's hold on COM, given back when the button ends (on the same thread).
class ComApartment {
public:
    ComApartment() noexcept : m_bHeld(SUCCEEDED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {}
    ~ComApartment() {
        if (m_bHeld)
            ::CoUninitialize();
    }
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;

private:
    bool m_bHeld;
};

class SystemTaskbarButton final : public TaskbarButton {
public:
    SystemTaskbarButton(std::unique_ptr<ComApartment> com, ITaskbarList3* list, HWND window) noexcept
        : m_com(std::move(com)), m_list(list), m_window(window) {}
    ~SystemTaskbarButton() override { m_list->Release(); }
    SystemTaskbarButton(const SystemTaskbarButton&) = delete;
    SystemTaskbarButton& operator=(const SystemTaskbarButton&) = delete;

    void SetProgress(ULONGLONG completed, ULONGLONG total) override {
        m_list->SetProgressValue(m_window, completed, total);
    }

    void SetState(State state) override {
        const TBPFLAG flag = state == State::Error    ? TBPF_ERROR
                             : state == State::Normal ? TBPF_NORMAL
                                                      : TBPF_NOPROGRESS;
        m_list->SetProgressState(m_window, flag);
    }

private:
    std::unique_ptr<ComApartment> m_com; // outlives m_list: released after it
    ITaskbarList3* m_list;
    HWND m_window;
};

} // namespace

std::unique_ptr<TaskbarButton> OpenSystemTaskbarButton(HWND window) {
    auto com = std::make_unique<ComApartment>();
    void* list = nullptr;
    if (FAILED(
            ::CoCreateInstance(CLSID_TaskbarList, nullptr, CLSCTX_INPROC_SERVER, IID_ITaskbarList3, &list)))
        return nullptr;
    auto* taskbar = static_cast<ITaskbarList3*>(list);
    if (FAILED(taskbar->HrInit())) {
        taskbar->Release();
        return nullptr;
    }
    return std::make_unique<SystemTaskbarButton>(std::move(com), taskbar, window);
}

TaskbarButtonOpener g_pfnOpenTaskbarButton = OpenSystemTaskbarButton;
