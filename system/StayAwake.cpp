#include "system/StayAwake.h"

ExecutionStateSetter g_pfnSetThreadExecutionState = nullptr;

void StayAwake::Set(EXECUTION_STATE flags) noexcept {
    (g_pfnSetThreadExecutionState != nullptr ? g_pfnSetThreadExecutionState
                                             : ::SetThreadExecutionState)(flags);
}
