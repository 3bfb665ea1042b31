#include "crypto/SymKey.h"

#include "crypto/lcRng.h"
#include "crypto/rndDraw.h"

#include <cryptopp/misc.h>

#include <algorithm>
#include <climits>
#include <cstring>

namespace {

constexpr int BLOCK = 8;

struct keyBytes {
    uint8_t bytes[SymKey::KEY_SIZE] = {};

    // An empty text may come without any bytes at all (a null pointer),
    // which memcpy must not be given even for no bytes.
    keyBytes(const uint8_t* text, size_t len) {
        std::copy_n(text, std::min(len, SymKey::KEY_SIZE), bytes);
    }
    ~keyBytes() { CryptoPP::SecureWipeArray(bytes, SymKey::KEY_SIZE); }
};

} // namespace

SymKey::SymKey(const uint8_t* text, size_t len) {
    const keyBytes key(text, len);
    decryption.SetKey(key.bytes, KEY_SIZE);
    encryption.SetKey(key.bytes, KEY_SIZE);
}

int SymKey::SealedLength(int len) {
    if (len <= 0 || len > INT_MAX - HEADER_SIZE)
        return 0;
    return len - len % BLOCK + HEADER_SIZE;
}

int SymKey::EncryptMessage(const uint8_t* in, uint8_t* out, int len) const {
    const int sealed = SealedLength(len);
    if (sealed == 0)
        return 0;
    const int r = len % BLOCK;

    uint8_t header[HEADER_SIZE];
    header[0] = 0x00;
    header[1] = 0x02;
    lcRng rng(static_cast<CryptoPP::word32>(len));
    for (int i = 2; i < 15 - r; ++i)
        header[i] = rndDraw::NonZeroByte(rng);
    header[15 - r] = 0x00;
    std::memcpy(header + HEADER_SIZE - r, in, static_cast<size_t>(r));

    // Each body block moves forward by 16 - r bytes; going from the last
    // block back keeps a shared in/out buffer intact until it is read.
    for (int at = len - BLOCK; at >= r; at -= BLOCK)
        encryption.ProcessBlock(in + at, out + at - r + HEADER_SIZE);
    encryption.ProcessBlock(header, out);
    encryption.ProcessBlock(header + BLOCK, out + BLOCK);
    CryptoPP::SecureWipeArray(header, HEADER_SIZE);
    return sealed;
}

int SymKey::DecryptMessage(const uint8_t* in, uint8_t* out, int len) const {
    if (len <= 0 || len % BLOCK != 0)
        return 0;
    uint8_t block[BLOCK];
    decryption.ProcessBlock(in, block);
    if (block[0] != 0x00 || block[1] != 0x02) {
        CryptoPP::SecureWipeArray(block, BLOCK);
        return 0;
    }
    // Look for the separator, block by block; the message starts after it.
    int at = 0;
    int i = 2;
    for (;;) {
        while (i < BLOCK && block[i] != 0x00)
            ++i;
        if (i < BLOCK)
            break;
        at += BLOCK;
        if (at == len) {
            CryptoPP::SecureWipeArray(block, BLOCK);
            return 0;
        }
        decryption.ProcessBlock(in + at, block);
        i = 0;
    }
    const int start = at + i + 1;
    const int tail = BLOCK - (i + 1);
    std::memcpy(out, block + i + 1, static_cast<size_t>(tail));
    CryptoPP::SecureWipeArray(block, BLOCK);
    // The write position trails the read position, so a shared buffer works.
    for (int next = at + BLOCK; next < len; next += BLOCK)
        decryption.ProcessBlock(in + next, out + next - start);
    return len - start;
}
