#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

// SHA-256 (FIPS 180-4), fed in pieces of any size. The run log names the
// HEX file by it, so a log line says exactly which firmware went out.
class Sha256 {
public:
    Sha256();
    void Add(const void* data, size_t size);
    // The digest as 64 lowercase hex digits. Ends the hash: call once.
    std::string HexDigest();

private:
    void Compress(const uint8_t block[64]);

    uint32_t m_state[8];
    uint8_t m_block[64];
    size_t m_blockUsed = 0;
    uint64_t m_totalBytes = 0;
};
