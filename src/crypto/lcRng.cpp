#include "crypto/lcRng.h"

void lcRng::GenerateBlock(CryptoPP::byte* output, size_t size) {
    for (size_t i = 0; i < size; ++i)
        output[i] = NextByte();
}
