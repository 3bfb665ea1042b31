#pragma once

#include "crypto/PrivateRsaKey.h"

#include <cstdint>
#include <filesystem>
#include <vector>

// What the fuzz targets share, made once per process: the keys and start-up
// files of the payment vectors, a scratch folder of this process (in memory
// when /dev/shm exists) and a muted operator.
class fuzzWorld {
public:
    static fuzzWorld& Get();
    ~fuzzWorld(); // removes the scratch folder

    fuzzWorld(const fuzzWorld&) = delete;
    fuzzWorld& operator=(const fuzzWorld&) = delete;

    PrivateRsaKey shopKey;
    PrivateRsaKey bankKey;                 // the bank's main key, private half included
    std::vector<std::uint8_t> shopKeyFile; // kestpv.rsa
    std::vector<std::uint8_t> bankKeyFile; // bankpub.rsa
    std::vector<std::uint8_t> consumerKeyText;
    std::vector<std::uint8_t> keyOfferFrame; // the consumer's key offer, whole frame
    std::filesystem::path scratch;

    // Writes `bytes` to `name` in `folder`.
    static void WriteFile(const std::filesystem::path& folder, const char* name,
                          const std::vector<std::uint8_t>& bytes);

private:
    fuzzWorld();
};
