#include "framework/StayAwake.h"

ExecutionStateSetter g_pfnSetThreadExecutionState = ::SetThreadExecutionState;
