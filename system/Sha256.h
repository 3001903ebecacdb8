// SHA-256 (FIPS 180-4) computed by the system (bcrypt.dll): the fingerprint of an image, in the update
// history and in the virtual device's log.
#pragma once

#include "system/BcryptObjects.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class Sha256 {
public:
    Sha256();
    // Moving keeps the hash object's memory where the system has it; an assignment would have to tear the
    // old object down in order, and nothing needs one.
    Sha256(Sha256&&) = default;
    Sha256& operator=(Sha256&&) = delete;

    void Update(const void* data, std::size_t size);
    // The digest; the object takes no more data afterwards. All zero when Failed().
    std::array<std::uint8_t, 32> Finish();
    // The digest in lower-case hex, or an empty string when Failed(): never a digest of other bytes.
    std::string FinishHex();
    // True once the system could not hash, or after data or a second finish came after the first finish.
    bool Failed() const { return m_failed; }

    static std::string Hex(const void* data, std::size_t size);

private:
    bool Open();
    void Fail();

    BcryptAlgorithm m_algorithm;
    std::vector<UCHAR> m_object; // the hash object's memory, which the system asks its caller to keep
    BcryptHash m_hash;           // destroyed before the memory it lives in and the provider it came from
    bool m_failed = false;
};
