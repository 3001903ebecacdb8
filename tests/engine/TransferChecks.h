// The transfer variables as a test prepares them for the sender and checks them after it.
#pragma once

#include "engine/TransferState.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <vector>

// Prepares the transfer variables as the update sequence does: the whole image in a C-heap buffer, the pipe.
inline void PrepareTransfer(const std::vector<BYTE>& image, HANDLE pipe) {
    g_pImageData = static_cast<BYTE*>(std::malloc(image.size()));
    std::memcpy(g_pImageData, image.data(), image.size());
    g_cbImage = static_cast<std::uint32_t>(image.size());
    g_cbSent = 0;
    g_hDataPipe = pipe;
    g_bTransferDone.store(0);
    g_bTransferFailed.store(0);
}

inline void ExpectEnded(bool failed) {
    EXPECT_EQ(g_bTransferDone.load(), 1);
    EXPECT_EQ(g_bTransferFailed.load(), failed ? 1 : 0);
    EXPECT_EQ(g_pImageData, nullptr) << "buffer freed";
    EXPECT_EQ(g_hDataPipe, INVALID_HANDLE_VALUE) << "pipe closed";
}
