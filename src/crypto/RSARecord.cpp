#include "crypto/RSARecord.h"

#include <cryptopp/misc.h>

#include <algorithm>
#include <cstdio>
#include <istream>
#include <ostream>

using CryptoPP::byte;
using CryptoPP::lword;

namespace {

// Transfers hand bytes to their target in pieces of at most this size.
constexpr uint32_t TRANSFER_PIECE = 256;

void Say(const char* text) {
    std::fputs(text, stdout);
}

} // namespace

RSARecord::~RSARecord() {
    CryptoPP::SecureWipeArray(buffer.data(), buffer.size());
}

void RSARecord::Clear() {
    count = 0;
    readPos = 0;
    writePos = 0;
}

void RSARecord::PutOne(byte inByte) {
    if (count >= CAPACITY) {
        Say("RSARecord::Put exceeded capacity\n");
        return;
    }
    buffer[writePos] = inByte;
    writePos = (writePos + 1) % CAPACITY;
    ++count;
}

void RSARecord::PutBlock(const byte* inString, size_t length) {
    if (length >= CAPACITY - count) {
        Say("RSARecord::Put exceeded capacity\n");
        return;
    }
    const auto n = static_cast<uint32_t>(length);
    const uint32_t first = std::min(n, CAPACITY - writePos);
    std::copy_n(inString, first, buffer.data() + writePos);
    std::copy_n(inString + first, n - first, buffer.data());
    writePos = (writePos + n) % CAPACITY;
    count += n;
}

size_t RSARecord::Put2(const byte* inString, size_t length, int, bool) {
    // A put of nothing is an end-of-input notice and changes nothing. A refused
    // put is not reported to the caller beyond the printed line.
    if (length == 1)
        PutOne(*inString);
    else if (length > 1)
        PutBlock(inString, length);
    return 0;
}

void RSARecord::CopyOut(uint32_t offset, byte* out, uint32_t n) const {
    const uint32_t start = (readPos + offset) % CAPACITY;
    const uint32_t first = std::min(n, CAPACITY - start);
    std::copy_n(buffer.data() + start, first, out);
    std::copy_n(buffer.data(), n - first, out + first);
}

void RSARecord::Consume(uint32_t n) {
    readPos = (readPos + n) % CAPACITY;
    count -= n;
}

size_t RSARecord::Get(byte& outByte) {
    if (count == 0) {
        Say("RSARecord::Get empty capacity\n");
        return 0;
    }
    outByte = buffer[readPos];
    Consume(1);
    return 1;
}

size_t RSARecord::Get(byte* outString, size_t getMax) {
    if (getMax <= count) {
        const auto n = static_cast<uint32_t>(getMax);
        CopyOut(0, outString, n);
        Consume(n);
        return n;
    }
    const uint32_t n = count;
    CopyOut(0, outString, n);
    Clear();
    return n;
}

size_t RSARecord::Peek(byte& outByte) const {
    if (count == 0) {
        Say("RSARecord::Peek empty capacity\n");
        return 0;
    }
    outByte = buffer[readPos];
    return 1;
}

size_t RSARecord::Peek(byte* outString, size_t peekMax) const {
    const auto n = static_cast<uint32_t>(std::min<size_t>(peekMax, count));
    CopyOut(0, outString, n);
    return n;
}

lword RSARecord::Skip(lword skipMax) {
    const auto n = static_cast<uint32_t>(std::min<lword>(skipMax, count));
    Consume(n);
    return n;
}

size_t RSARecord::CopyRangeTo2(CryptoPP::BufferedTransformation& target, lword& begin, lword end,
                               const std::string& channel, bool blocking) const {
    if (begin >= count || end <= begin)
        return 0;
    const auto stop = static_cast<uint32_t>(std::min<lword>(end, count));
    auto at = static_cast<uint32_t>(begin);
    while (at < stop) {
        // One piece never crosses the end of the ring.
        const uint32_t start = (readPos + at) % CAPACITY;
        const uint32_t len = std::min({stop - at, CAPACITY - start, TRANSFER_PIECE});
        const size_t blocked = target.ChannelPut2(channel, buffer.data() + start, len, 0, blocking);
        at += len - static_cast<uint32_t>(blocked);
        if (blocked != 0) {
            begin = at;
            return blocked;
        }
    }
    begin = at;
    return 0;
}

size_t RSARecord::TransferTo2(CryptoPP::BufferedTransformation& target, lword& byteCount,
                              const std::string& channel, bool blocking) {
    // Decoders reading through a nested decoder take their tag and length
    // bytes one at a time by this route.
    if (count == 0 && byteCount == 1)
        Say("RSARecord::Get empty capacity\n");
    lword moved = 0;
    const size_t blocked = CopyRangeTo2(target, moved, byteCount, channel, blocking);
    Consume(static_cast<uint32_t>(moved));
    byteCount = moved;
    return blocked;
}

bool RSARecord::Load(std::istream& in) {
    Clear();
    byte head[4];
    in.read(reinterpret_cast<char*>(head), sizeof head);
    if (in.gcount() != static_cast<std::streamsize>(sizeof head)) {
        in.setstate(std::ios::failbit);
        return false;
    }
    const uint32_t n = uint32_t(head[0]) | uint32_t(head[1]) << 8 | uint32_t(head[2]) << 16 |
                       uint32_t(head[3]) << 24;
    if (n > CAPACITY) {
        in.setstate(std::ios::failbit);
        return false;
    }
    in.read(reinterpret_cast<char*>(buffer.data()), n);
    if (in.gcount() != static_cast<std::streamsize>(n)) {
        in.setstate(std::ios::failbit);
        return false;
    }
    count = n;
    writePos = n % CAPACITY;
    return true;
}

bool RSARecord::Save(std::ostream& out) {
    const byte head[4] = {byte(count), byte(count >> 8), byte(count >> 16), byte(count >> 24)};
    out.write(reinterpret_cast<const char*>(head), sizeof head);
    const uint32_t first = std::min(count, CAPACITY - readPos);
    out.write(reinterpret_cast<const char*>(buffer.data() + readPos), first);
    out.write(reinterpret_cast<const char*>(buffer.data()), count - first);
    Clear();
    return out.good();
}
