#include "engine/UpdateLock.h"

#include "engine/TestSettings.h"

#include <sddl.h>

namespace {

constexpr DWORD MUTEX_RIGHTS = SYNCHRONIZE | MUTEX_MODIFY_STATE;

// Everyone may wait for and release the mutex, whoever made it: a program of another user (another session,
// an elevated copy) must still be kept out, not locked out with "access denied" and taken for a free lock.
class EveryoneMayWait {
public:
    EveryoneMayWait() {
        // Everyone (WD) gets SYNCHRONIZE | MUTEX_MODIFY_STATE.
        ::ConvertStringSecurityDescriptorToSecurityDescriptorA("D:(A;;0x00100001;;;WD)", SDDL_REVISION_1,
                                                               &m_descriptor, nullptr);
        m_attributes.lpSecurityDescriptor = m_descriptor;
    }
    ~EveryoneMayWait() { ::LocalFree(m_descriptor); }
    EveryoneMayWait(const EveryoneMayWait&) = delete;
    EveryoneMayWait& operator=(const EveryoneMayWait&) = delete;

    SECURITY_ATTRIBUTES* Attributes() { return m_descriptor ? &m_attributes : nullptr; }

private:
    PSECURITY_DESCRIPTOR m_descriptor = nullptr;
    SECURITY_ATTRIBUTES m_attributes{sizeof(SECURITY_ATTRIBUTES), nullptr, FALSE};
};

} // namespace

std::string UpdateLock::Name() {
    const std::string scope = TestRunLockScope();
    return "Global\\NimbrelUpdateRun" + (scope.empty() ? std::string() : "-" + scope);
}

UpdateLock::Taken UpdateLock::Take() {
    if (m_bTaken)
        return Taken::Free;
    if (!m_mutex.IsValid()) {
        EveryoneMayWait security;
        m_mutex.Reset(::CreateMutexExA(security.Attributes(), Name().c_str(), 0, MUTEX_RIGHTS));
        // Most often "access denied": a mutex of another user's program that is running. Whatever the
        // cause, a run that cannot know that it is alone does not start.
        if (!m_mutex.IsValid())
            return Taken::HeldElsewhere;
    }
    switch (::WaitForSingleObject(m_mutex.Get(), 0)) {
    case WAIT_OBJECT_0:
        m_bTaken = true;
        return Taken::Free;
    case WAIT_ABANDONED:
        m_bTaken = true;
        return Taken::AfterAbandon;
    default:
        return Taken::HeldElsewhere;
    }
}

void UpdateLock::Release() {
    if (!m_bTaken)
        return;
    m_bTaken = false;
    ::ReleaseMutex(m_mutex.Get());
}
