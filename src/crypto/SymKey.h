#pragma once

#include <cryptopp/des.h>

#include <cstddef>
#include <cstdint>

// The DES key of one connection. It seals every data message after the key
// exchange and opens the peer's. A sealed message of len bytes (r = len % 8)
// is a 16-byte header — 00 02, 13 - r padding bytes from 1 to 255 drawn from a
// generator seeded with len, a 00 separator, the first r message bytes —
// followed by the other len - r message bytes, every 8-byte block enciphered
// on its own (ECB).
//
// The key is the first 8 bytes of a key text; the low bit of each byte plays
// no part. A text shorter than 8 bytes is completed with zero bytes. Both key
// schedules are wiped when the object is destroyed. The operations do not
// change the object; one connection's thread uses it at a time.
class SymKey {
public:
    static constexpr size_t KEY_SIZE = 8;
    static constexpr int HEADER_SIZE = 16;

    // Reads exactly min(len, 8) bytes of `text`.
    SymKey(const uint8_t* text, size_t len);

    // Size of the sealed form of a message of len bytes; 0 when len is not
    // positive (or too large to seal).
    static int SealedLength(int len);

    // Seals len bytes of `in` into `out`, which must hold SealedLength(len)
    // bytes; returns that length. Returns 0 and writes nothing when len is
    // not positive. `in` and `out` may be the same buffer.
    int EncryptMessage(const uint8_t* in, uint8_t* out, int len) const;
    // Opens a sealed message of len bytes into `out`, which must hold len
    // bytes; returns the message length. Returns 0 and writes nothing when
    // len is not a positive multiple of 8 or the header does not begin with
    // 00 02; a header without a separator gives 0 as well. `in` and `out`
    // may be the same buffer.
    int DecryptMessage(const uint8_t* in, uint8_t* out, int len) const;

private:
    CryptoPP::DES::Decryption decryption;
    CryptoPP::DES::Encryption encryption;
};
