#include "crypto/SymKey.h"

#include "crypto/rndDraw.h"

#include <cryptopp/des.h>

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <numeric>
#include <string>
#include <vector>

namespace {

using bytes = std::vector<uint8_t>;

const std::string KEY_TEXT = "Consumer key text: 53 printable characters, fixed.!!#";

SymKey MakeKey(const std::string& text) {
    return SymKey(reinterpret_cast<const uint8_t*>(text.data()), text.size());
}

bytes Message(size_t n) {
    bytes out(n);
    std::iota(out.begin(), out.end(), uint8_t(0x41));
    return out;
}

bytes Seal(const SymKey& key, const bytes& msg) {
    bytes out(static_cast<size_t>(SymKey::SealedLength(static_cast<int>(msg.size()))));
    out.resize(static_cast<size_t>(key.EncryptMessage(msg.data(), out.data(), int(msg.size()))));
    return out;
}

bytes Open(const SymKey& key, const bytes& sealed) {
    bytes out(sealed.size());
    out.resize(static_cast<size_t>(key.DecryptMessage(sealed.data(), out.data(), int(out.size()))));
    return out;
}

// Plain DES in both directions, block by block, under the first 8 key bytes.
bytes RawDes(const std::string& text, bytes data, bool encipher) {
    const auto* key = reinterpret_cast<const uint8_t*>(text.data());
    CryptoPP::DES::Encryption enc(key, 8);
    CryptoPP::DES::Decryption dec(key, 8);
    for (size_t i = 0; i < data.size(); i += 8) {
        if (encipher)
            enc.ProcessBlock(&data[i]);
        else
            dec.ProcessBlock(&data[i]);
    }
    return data;
}

TEST(SymKey, SealedSizes) {
    struct size {
        int len, sealed;
    };
    for (const auto& [len, sealed] : {size{1, 16}, size{4, 16}, size{7, 16}, size{8, 24},
                                      size{18, 32}, size{64, 80}, size{68, 80}, size{211, 224}}) {
        EXPECT_EQ(SymKey::SealedLength(len), sealed) << len;
        EXPECT_EQ(Seal(MakeKey(KEY_TEXT), Message(size_t(len))).size(), size_t(sealed)) << len;
    }
    EXPECT_EQ(SymKey::SealedLength(0), 0);
    EXPECT_EQ(SymKey::SealedLength(-8), 0);
}

TEST(SymKey, HeaderLayout) {
    const SymKey key = MakeKey(KEY_TEXT);
    for (size_t len : {1u, 4u, 7u, 8u, 18u, 64u, 68u}) {
        const bytes msg = Message(len);
        const bytes plain = RawDes(KEY_TEXT, Seal(key, msg), false);
        const size_t r = len % 8;

        bytes expected{0x00, 0x02};
        lcRng rng(static_cast<CryptoPP::word32>(len));
        for (size_t i = 2; i < 15 - r; ++i)
            expected.push_back(rndDraw::NonZeroByte(rng));
        expected.push_back(0x00);
        expected.insert(expected.end(), msg.begin(), msg.end());
        EXPECT_EQ(plain, expected) << len;
    }
    // Four message bytes: nine padding bytes drawn with seed 4.
    const bytes plain = RawDes(KEY_TEXT, Seal(key, {1, 2, 3, 4}), false);
    EXPECT_EQ(plain, (bytes{0x00, 0x02, 0xCD, 0x76, 0xB1, 0x7C, 0xDD, 0xF7, 0x03, 0x29, 0x34, 0x00,
                            1, 2, 3, 4}));
}

TEST(SymKey, OpensWhatItSeals) {
    const SymKey key = MakeKey(KEY_TEXT);
    for (size_t len : {1u, 4u, 8u, 18u, 64u, 68u, 211u, 1000u}) {
        const bytes msg = Message(len);
        const bytes sealed = Seal(key, msg);
        EXPECT_EQ(Open(key, sealed), msg) << len;
        EXPECT_EQ(Seal(key, msg), sealed) << len;
    }
}

TEST(SymKey, SameBufferInAndOut) {
    const SymKey key = MakeKey(KEY_TEXT);
    for (int len : {4, 18, 68, 211}) {
        const bytes msg = Message(size_t(len));
        bytes buffer(static_cast<size_t>(SymKey::SealedLength(len)));
        std::memcpy(buffer.data(), msg.data(), msg.size());
        const int sealed = key.EncryptMessage(buffer.data(), buffer.data(), len);
        EXPECT_EQ(buffer, Seal(key, msg)) << len;
        EXPECT_EQ(key.DecryptMessage(buffer.data(), buffer.data(), sealed), len);
        buffer.resize(size_t(len));
        EXPECT_EQ(buffer, msg) << len;
    }
}

TEST(SymKey, RefusedLengthsWriteNothing) {
    const SymKey key = MakeKey(KEY_TEXT);
    const bytes in(40, 0x11);
    for (int len : {0, -1, -16, 7, 12, 33}) {
        bytes out(64, 0xEE);
        if (len <= 0) {
            EXPECT_EQ(key.EncryptMessage(in.data(), out.data(), len), 0) << len;
        }
        EXPECT_EQ(key.DecryptMessage(in.data(), out.data(), len), 0) << len;
        EXPECT_EQ(out, bytes(64, 0xEE)) << len;
    }
}

TEST(SymKey, HeadersThatDoNotOpen) {
    const SymKey key = MakeKey(KEY_TEXT);
    struct header {
        const char* what;
        bytes plain;
        bytes opened;
    };
    bytes longPadding{0x00, 0x02};
    longPadding.resize(24, 0x5A);
    longPadding[19] = 0x00; // the separator sits in the third block
    bytes noSeparator{0x00, 0x02};
    noSeparator.resize(24, 0x5A);
    bytes lastByte = noSeparator;
    lastByte[23] = 0x00;
    bytes wrongType = Seal(key, Message(8));
    wrongType = RawDes(KEY_TEXT, wrongType, false);
    wrongType[1] = 0x01;

    for (const auto& [what, plain, opened] : {
             header{"separator after the header", longPadding, {0x5A, 0x5A, 0x5A, 0x5A}},
             header{"no separator", noSeparator, {}},
             header{"separator at the very end", lastByte, {}},
             header{"00 01", wrongType, {}},
         }) {
        const bytes sealed = RawDes(KEY_TEXT, plain, true);
        bytes out(sealed.size(), 0xEE);
        const int n = key.DecryptMessage(sealed.data(), out.data(), int(sealed.size()));
        EXPECT_EQ(bytes(out.begin(), out.begin() + n), opened) << what;
        if (n == 0 && plain[1] != 0x02) {
            EXPECT_EQ(out, bytes(sealed.size(), 0xEE)) << what;
        }
    }
}

TEST(SymKey, OnlyTheFirstEightBytesWithoutParityBitsCount) {
    const bytes sealed = Seal(MakeKey(KEY_TEXT), Message(30));
    std::string sameStart = KEY_TEXT.substr(0, 8) + "something else entirely";
    std::string parityOnly = KEY_TEXT;
    for (size_t i = 0; i < 8; ++i)
        parityOnly[i] = char(parityOnly[i] ^ 1);
    EXPECT_EQ(Open(MakeKey(sameStart), sealed), Message(30));
    EXPECT_EQ(Open(MakeKey(parityOnly), sealed), Message(30));
    EXPECT_EQ(Open(MakeKey("Another key text entirely"), sealed), bytes{});
}

TEST(SymKey, ShortTextIsCompletedWithZeros) {
    // Exactly three bytes on the heap: reading past them would be caught by
    // the address sanitizer build.
    auto text = std::make_unique<uint8_t[]>(3);
    std::memcpy(text.get(), "abc", 3);
    const SymKey shortKey(text.get(), 3);
    const bytes sealed = Seal(shortKey, Message(20));
    EXPECT_EQ(Open(MakeKey(std::string("abc\0\0\0\0\0", 8)), sealed), Message(20));
}

} // namespace
