// The update lock between two takers: the second is kept out while the first holds it, gets it once it is
// let go, and gets it as well, with the abandonment noted, when the first ended without letting go.
#include "engine/UpdateLock.h"

#include <gtest/gtest.h>

#include <thread>

namespace {

// A mutex belongs to a thread: a second taker on the same thread would get it again. Each take here runs on a
// thread of its own, which keeps the lock object alive past its end, as a killed program's mutex outlives it
// while another program holds a handle to it.
UpdateLock::Taken TakeOnAThreadOfItsOwn(UpdateLock& lock, bool letGo) {
    UpdateLock::Taken taken = UpdateLock::Taken::HeldElsewhere;
    std::thread([&] {
        taken = lock.Take();
        if (letGo)
            lock.Release();
    }).join();
    return taken;
}

} // namespace

TEST(UpdateLock, KeepsASecondRunOutUntilTheFirstEndsOrDies) {
    ::SetEnvironmentVariableA("NIMBREL_RUN_LOCK_SCOPE",
                              ("lock-test-" + std::to_string(::GetCurrentProcessId())).c_str());
    EXPECT_EQ(UpdateLock::Name(),
              "Global\\NimbrelUpdateRun-lock-test-" + std::to_string(::GetCurrentProcessId()));

    UpdateLock first, second;
    ASSERT_EQ(first.Take(), UpdateLock::Taken::Free);
    EXPECT_TRUE(first.IsTaken());
    EXPECT_EQ(TakeOnAThreadOfItsOwn(second, true), UpdateLock::Taken::HeldElsewhere);
    EXPECT_FALSE(second.IsTaken());
    first.Release();
    EXPECT_EQ(TakeOnAThreadOfItsOwn(second, true), UpdateLock::Taken::Free);

    // The holder's thread ends without letting go: the next taker gets the lock and learns so, once.
    EXPECT_EQ(TakeOnAThreadOfItsOwn(second, false), UpdateLock::Taken::Free);
    EXPECT_EQ(first.Take(), UpdateLock::Taken::AfterAbandon);
    first.Release();
    EXPECT_EQ(first.Take(), UpdateLock::Taken::Free);
    first.Release();
    ::SetEnvironmentVariableA("NIMBREL_RUN_LOCK_SCOPE", nullptr);
}
