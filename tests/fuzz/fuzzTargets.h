#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

// The fuzz targets: one entry function for every reader of bytes that come
// from outside. Each takes any input and returns 0; a finding crashes or
// aborts. The libFuzzer programs call one of them, and the regression test
// replays the kept inputs of all of them in the regular test suite.
using fuzzEntry = int (*)(const std::uint8_t* data, std::size_t size);

struct fuzzTarget {
    std::string_view name; // also the folder of its corpus and regressions
    fuzzEntry entry;
};

// Frames read by packetFrame::Receive from a stream that delivers them in
// pieces, and sent back by packetFrame::Send.
int FrameTarget(const std::uint8_t* data, std::size_t size);
// A whole session (both step machines) fed moves on both of its connections.
int SessionTarget(const std::uint8_t* data, std::size_t size);
// Key-file records through RSARecord::Load into the key objects.
int KeyRecordTarget(const std::uint8_t* data, std::size_t size);
// A working folder's start-up files read by the document.
int KeyFolderTarget(const std::uint8_t* data, std::size_t size);
// SymKey::DecryptMessage of sealed messages.
int SymKeyTarget(const std::uint8_t* data, std::size_t size);
// PrivateRsaKey::Decrypt and PublicRsaKey::Recover of 64-byte blocks.
int RsaBlockTarget(const std::uint8_t* data, std::size_t size);
// The address-file reader.
int AddrFileTarget(const std::uint8_t* data, std::size_t size);
// The log reader.
int LogReaderTarget(const std::uint8_t* data, std::size_t size);

constexpr fuzzTarget FUZZ_TARGETS[] = {
    {"frame", FrameTarget},          {"session", SessionTarget},
    {"key_record", KeyRecordTarget}, {"key_folder", KeyFolderTarget},
    {"sym_key", SymKeyTarget},       {"rsa_block", RsaBlockTarget},
    {"addr_file", AddrFileTarget},   {"log_reader", LogReaderTarget},
};
