#pragma once

#include <cryptopp/cryptlib.h>

#include <array>
#include <cstdint>
#include <iosfwd>

// A fixed 1024-byte byte queue that carries one record of a key file between
// the file and the key objects. Key decoders read their bytes from it and key
// encoders write into it through the byte-stream interface; Load and Save move
// one record (a 4-byte little-endian count, then the bytes) from or to a file.
//
// Capacity rules: a single-byte Put fills the queue up to all 1024 bytes, a
// block Put is refused when it would bring the queue to 1024 bytes or more.
// A refused Put stores nothing and prints "RSARecord::Put exceeded capacity";
// taking one byte from an empty queue prints "RSARecord::Get empty capacity",
// peeking into it "RSARecord::Peek empty capacity" (standard output).
// A block Get that finds fewer bytes than asked takes them all, prints
// nothing and resets both positions to 0.
//
// Used by one thread at a time; no lock.
class RSARecord : public CryptoPP::BufferedTransformation {
public:
    static constexpr uint32_t CAPACITY = 1024;

    RSARecord() = default;
    // Wipes the buffer: it may have held a private key.
    ~RSARecord() override;

    // Replaces the whole content by the next record of `in`. A record whose
    // count exceeds CAPACITY, or a stream that ends before the count or the
    // bytes it announces, leaves the record empty, sets failbit on `in` (so
    // the records after it are refused too) and returns false: a key decoder
    // fed from it then raises BERDecodeErr. Never reads more than CAPACITY
    // bytes of record data.
    bool Load(std::istream& in);
    // Writes the content as one record and empties the record. Returns
    // whether the stream accepted it.
    bool Save(std::ostream& out);

    uint32_t Count() const { return count; }
    uint32_t ReadPosition() const { return readPos; }
    uint32_t WritePosition() const { return writePos; }

    // Byte-stream interface.
    using CryptoPP::BufferedTransformation::Get;
    using CryptoPP::BufferedTransformation::Peek;
    size_t Put2(const CryptoPP::byte* inString, size_t length, int messageEnd,
                bool blocking) override;
    bool IsolatedFlush(bool, bool) override { return false; }
    CryptoPP::lword MaxRetrievable() const override { return count; }
    bool AnyRetrievable() const override { return count != 0; }
    size_t Get(CryptoPP::byte& outByte) override;
    size_t Get(CryptoPP::byte* outString, size_t getMax) override;
    size_t Peek(CryptoPP::byte& outByte) const override;
    size_t Peek(CryptoPP::byte* outString, size_t peekMax) const override;
    CryptoPP::lword Skip(CryptoPP::lword skipMax = CryptoPP::LWORD_MAX) override;
    size_t TransferTo2(CryptoPP::BufferedTransformation& target, CryptoPP::lword& byteCount,
                       const std::string& channel = CryptoPP::DEFAULT_CHANNEL,
                       bool blocking = true) override;
    size_t CopyRangeTo2(CryptoPP::BufferedTransformation& target, CryptoPP::lword& begin,
                        CryptoPP::lword end = CryptoPP::LWORD_MAX,
                        const std::string& channel = CryptoPP::DEFAULT_CHANNEL,
                        bool blocking = true) const override;

private:
    void PutOne(CryptoPP::byte inByte);
    void PutBlock(const CryptoPP::byte* inString, size_t length);
    // Copies n held bytes starting `offset` bytes after the read position.
    void CopyOut(uint32_t offset, CryptoPP::byte* out, uint32_t n) const;
    void Consume(uint32_t n);
    void Clear();

    std::array<CryptoPP::byte, CAPACITY> buffer{};
    uint32_t count = 0;
    uint32_t readPos = 0;
    uint32_t writePos = 0;
};
