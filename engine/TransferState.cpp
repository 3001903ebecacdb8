#include "engine/TransferState.h"

BYTE* g_pImageData = nullptr;
std::uint32_t g_cbImage = 0;
std::atomic<std::uint32_t> g_cbSent{0};
HANDLE g_hDataPipe = INVALID_HANDLE_VALUE;
std::atomic<LONG> g_bTransferDone{0};
std::atomic<LONG> g_bTransferFailed{0};
std::atomic<bool> g_bTransferStopRequested{false};
