#include "fuzzWorld.h"

#include "fuzzCheck.h"
#include "mutedOperator.h"
#include "paymentVectors.h"

#include <cstdlib>
#include <fstream>
#include <string>

namespace {
std::filesystem::path MakeScratch() {
    const std::filesystem::path base = std::filesystem::is_directory("/dev/shm")
                                           ? "/dev/shm"
                                           : std::filesystem::temp_directory_path();
    std::string pattern = (base / "kestrane-fuzz-XXXXXX").string();
    FUZZ_CHECK(::mkdtemp(pattern.data()) != nullptr);
    return pattern;
}
} // namespace

fuzzWorld& fuzzWorld::Get() {
    static fuzzWorld world;
    return world;
}

fuzzWorld::fuzzWorld()
    : shopKey(paymentVectors::ShopKey()), bankKey(paymentVectors::BankKey()),
      shopKeyFile(
          paymentVectors::FromHex(paymentVectors::Data()["kestpv_rsa_hex"].get<std::string>())),
      bankKeyFile(
          paymentVectors::FromHex(paymentVectors::Data()["bankpub_rsa_hex"].get<std::string>())),
      consumerKeyText(paymentVectors::Text("consumer_key_text")),
      keyOfferFrame(paymentVectors::FromHex(
          paymentVectors::Data()["consumer_conversation"][0]["frame_hex"].get<std::string>())),
      scratch(MakeScratch()) {
    static mutedOperator muted;
    SetOperator(&muted);
}

fuzzWorld::~fuzzWorld() {
    std::error_code ignored;
    std::filesystem::remove_all(scratch, ignored);
}

void fuzzWorld::WriteFile(const std::filesystem::path& folder, const char* name,
                          const std::vector<std::uint8_t>& bytes) {
    std::ofstream(folder / name, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
}
