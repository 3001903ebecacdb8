// Owners of the system's cryptography objects (bcrypt.dll): an algorithm provider and a hash. Move-only; each
// closes its object exactly once.
#pragma once

#include <windows.h>
#include <bcrypt.h>

#include <utility>

namespace afx_detail {

// Owns one BCrypt handle and hands it to Close once. Close is a type with a static Run(Handle).
template <typename Handle, typename Close> class BcryptOwner {
public:
    BcryptOwner() = default;
    explicit BcryptOwner(Handle h) : m_h(h) {}
    ~BcryptOwner() { Reset(); }

    BcryptOwner(const BcryptOwner&) = delete;
    BcryptOwner& operator=(const BcryptOwner&) = delete;
    BcryptOwner(BcryptOwner&& other) noexcept : m_h(std::exchange(other.m_h, nullptr)) {}
    BcryptOwner& operator=(BcryptOwner&& other) noexcept {
        if (this != &other)
            Reset(std::exchange(other.m_h, nullptr));
        return *this;
    }

    Handle Get() const { return m_h; }
    explicit operator bool() const { return m_h != nullptr; }

    void Reset(Handle h = nullptr) {
        if (m_h != nullptr)
            Close::Run(m_h);
        m_h = h;
    }

private:
    Handle m_h = nullptr;
};

struct CloseAlgorithm {
    static void Run(BCRYPT_ALG_HANDLE h) { ::BCryptCloseAlgorithmProvider(h, 0); }
};
struct DestroyHash {
    static void Run(BCRYPT_HASH_HANDLE h) { ::BCryptDestroyHash(h); }
};

} // namespace afx_detail

// An open algorithm provider (BCryptOpenAlgorithmProvider).
using BcryptAlgorithm = afx_detail::BcryptOwner<BCRYPT_ALG_HANDLE, afx_detail::CloseAlgorithm>;
// A hash object made by BCryptCreateHash. It works in memory that its maker keeps for it; destroy it first.
using BcryptHash = afx_detail::BcryptOwner<BCRYPT_HASH_HANDLE, afx_detail::DestroyHash>;
