// SHA-256 (FIPS 180-4): the fingerprint of an image, in the update history and in the virtual device's log.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

class Sha256 {
public:
    Sha256();
    void update(const void* data, std::size_t size);
    std::array<std::uint8_t, 32> finish(); // the object must not be updated afterwards
    std::string finishHex();

    static std::string hex(const void* data, std::size_t size);

private:
    void compress(const std::uint8_t* block);

    std::array<std::uint32_t, 8> state_;
    std::array<std::uint8_t, 64> block_{};
    std::size_t blockUsed_ = 0;
    std::uint64_t totalBytes_ = 0;
};
