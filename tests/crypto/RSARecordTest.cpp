#include "crypto/RSARecord.h"

#include <cryptopp/queue.h>

#include <gtest/gtest.h>

#include <numeric>
#include <sstream>
#include <string>
#include <vector>

namespace {

using bytes = std::vector<uint8_t>;
using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStdout;

const std::string PUT_FULL = "RSARecord::Put exceeded capacity\n";
const std::string GET_EMPTY = "RSARecord::Get empty capacity\n";
const std::string PEEK_EMPTY = "RSARecord::Peek empty capacity\n";

// n bytes counting up from `first`, wrapping at 256.
bytes Counting(size_t n, uint8_t first = 0) {
    bytes out(n);
    std::iota(out.begin(), out.end(), first);
    return out;
}

bytes Take(RSARecord& record, size_t n) {
    bytes out(n);
    out.resize(record.Get(out.data(), n));
    return out;
}

std::string RecordFile(uint32_t count, const bytes& data) {
    std::string file{char(count), char(count >> 8), char(count >> 16), char(count >> 24)};
    return file + std::string(data.begin(), data.end());
}

TEST(RSARecord, SingleBytePutsFillAllOfIt) {
    RSARecord record;
    const bytes data = Counting(RSARecord::CAPACITY, 7);
    for (uint8_t b : data)
        record.Put(b);
    EXPECT_EQ(record.Count(), RSARecord::CAPACITY);

    CaptureStdout();
    record.Put(0xAA);
    EXPECT_EQ(GetCapturedStdout(), PUT_FULL);
    EXPECT_EQ(Take(record, RSARecord::CAPACITY + 1), data);
}

TEST(RSARecord, BlockPutNeverFillsTheLastByte) {
    RSARecord record;
    CaptureStdout();
    record.Put(Counting(1024).data(), 1024);
    EXPECT_EQ(GetCapturedStdout(), PUT_FULL);
    EXPECT_EQ(record.Count(), 0u);

    CaptureStdout();
    record.Put(Counting(1023).data(), 1023);
    EXPECT_EQ(GetCapturedStdout(), "");
    EXPECT_EQ(record.Count(), 1023u);

    CaptureStdout();
    record.Put(Counting(2).data(), 2);
    EXPECT_EQ(GetCapturedStdout(), PUT_FULL);
    EXPECT_EQ(Take(record, 2000), Counting(1023));
}

TEST(RSARecord, BlockPutWrapsAroundTheEnd) {
    RSARecord record;
    record.Put(Counting(1000).data(), 1000);
    EXPECT_EQ(Take(record, 900), Counting(900));
    record.Put(Counting(500, 100).data(), 500);
    EXPECT_EQ(record.WritePosition(), (1000u + 500) % 1024);

    bytes expected = Counting(100, 900 % 256);
    const bytes second = Counting(500, 100);
    expected.insert(expected.end(), second.begin(), second.end());
    EXPECT_EQ(Take(record, 600), expected);
    EXPECT_EQ(record.Count(), 0u);
}

TEST(RSARecord, ShortBlockGetTakesAllAndResetsPositions) {
    RSARecord record;
    record.Put(Counting(10).data(), 10);
    EXPECT_EQ(Take(record, 6), Counting(6));
    CaptureStdout();
    EXPECT_EQ(Take(record, 10), Counting(4, 6));
    EXPECT_EQ(GetCapturedStdout(), "");
    EXPECT_EQ(record.Count(), 0u);
    EXPECT_EQ(record.ReadPosition(), 0u);
    EXPECT_EQ(record.WritePosition(), 0u);
}

TEST(RSARecord, PeekShowsTheByteThatGetTakes) {
    RSARecord record;
    record.Put(Counting(2, 40).data(), 2);
    CryptoPP::byte peeked = 0, got = 0;
    EXPECT_EQ(record.Peek(peeked), 1u);
    EXPECT_EQ(record.Get(got), 1u);
    EXPECT_EQ(peeked, 40);
    EXPECT_EQ(got, 40);
    EXPECT_EQ(record.Count(), 1u);
}

TEST(RSARecord, EmptyGetAndPeekSayIt) {
    RSARecord record;
    CryptoPP::byte b = 0x55;
    CaptureStdout();
    EXPECT_EQ(record.Get(b), 0u);
    EXPECT_EQ(record.Peek(b), 0u);
    EXPECT_EQ(GetCapturedStdout(), GET_EMPTY + PEEK_EMPTY);
    EXPECT_EQ(b, 0x55);
}

TEST(RSARecord, TransfersHandOverTheBytesInOrder) {
    RSARecord record;
    record.Put(Counting(1000).data(), 1000);
    Take(record, 900);
    record.Put(Counting(300, 1).data(), 300); // wraps

    CryptoPP::ByteQueue copy;
    record.CopyTo(copy);
    EXPECT_EQ(record.Count(), 400u);
    EXPECT_EQ(record.MaxRetrievable(), 400u);

    CryptoPP::ByteQueue moved;
    record.TransferTo(moved, 150);
    EXPECT_EQ(record.Count(), 250u);
    record.TransferAllTo(moved);
    EXPECT_EQ(record.Count(), 0u);

    bytes expected = Counting(100, 900 % 256);
    const bytes second = Counting(300, 1);
    expected.insert(expected.end(), second.begin(), second.end());
    for (CryptoPP::ByteQueue* queue : {&copy, &moved}) {
        bytes got(queue->MaxRetrievable());
        queue->Get(got.data(), got.size());
        EXPECT_EQ(got, expected);
    }
}

TEST(RSARecord, LoadReplacesTheContent) {
    RSARecord record;
    record.Put(Counting(20, 200).data(), 20);
    std::istringstream file(RecordFile(70, Counting(70)) + "rest");
    EXPECT_TRUE(record.Load(file));
    EXPECT_EQ(record.Count(), 70u);
    EXPECT_EQ(record.ReadPosition(), 0u);
    EXPECT_EQ(record.WritePosition(), 70u);
    EXPECT_EQ(Take(record, 4), Counting(4));
    EXPECT_EQ(record.Count(), 66u);
    EXPECT_EQ(file.get(), 'r');
}

TEST(RSARecord, LoadTakesAFullRecord) {
    RSARecord record;
    std::istringstream file(RecordFile(1024, Counting(1024)));
    EXPECT_TRUE(record.Load(file));
    EXPECT_EQ(record.Count(), 1024u);
    EXPECT_EQ(record.WritePosition(), 0u);
    EXPECT_EQ(Take(record, 1024), Counting(1024));
}

TEST(RSARecord, SaveWritesWrappedBytesInOrder) {
    RSARecord record;
    record.Put(Counting(1000).data(), 1000);
    Take(record, 990);
    record.Put(Counting(50, 17).data(), 50);
    bytes expected = Counting(10, 990 % 256);
    const bytes second = Counting(50, 17);
    expected.insert(expected.end(), second.begin(), second.end());

    std::ostringstream out;
    EXPECT_TRUE(record.Save(out));
    EXPECT_EQ(out.str(), RecordFile(60, expected));
    EXPECT_EQ(record.Count(), 0u);

    std::istringstream in(out.str());
    EXPECT_TRUE(record.Load(in));
    EXPECT_EQ(record.ReadPosition(), 0u);
    EXPECT_EQ(Take(record, 100), expected);
}

TEST(RSARecord, BadRecordsLeaveItEmpty) {
    const std::string good = RecordFile(4, Counting(4));
    struct badFile {
        const char* what;
        std::string file;
    };
    for (const auto& [what, file] : {
             badFile{"count above the capacity", RecordFile(1025, Counting(1025)) + good},
             badFile{"huge count", RecordFile(0xFFFFFFFF, Counting(2000)) + good},
             badFile{"bytes missing at the end", RecordFile(70, Counting(69))},
             badFile{"count cut short", std::string("\x10\x00", 2)},
             badFile{"nothing", ""},
         }) {
        RSARecord record;
        record.Put(Counting(30).data(), 30);
        std::istringstream in(file);
        EXPECT_FALSE(record.Load(in)) << what;
        EXPECT_EQ(record.Count(), 0u) << what;
        // Nothing after a bad record is taken for a record either.
        EXPECT_FALSE(record.Load(in)) << what;
        EXPECT_EQ(record.Count(), 0u) << what;
    }
}

} // namespace
