#pragma once

#include "crypto/PrivateRsaKey.h"

#include <nlohmann/json.hpp>

#include <cstdint>
#include <string>
#include <vector>

// The recorded payment of tests/vectors/payment.json, with the conversions the
// crypto tests need.
namespace paymentVectors {

using bytes = std::vector<uint8_t>;

const nlohmann::json& Data();
bytes FromHex(const std::string& hex);
bytes Text(const std::string& key); // a string field as bytes
// Data bytes of the named frame of a conversation ("consumer_conversation",
// "bank_conversation") sent in direction `dir` ("shop->bank", ...).
bytes Frame(const std::string& conversation, const std::string& name, const std::string& dir);
// A key of the vectors ("shop_key", "bank_key", or coin key d) from its numbers.
PrivateRsaKey Key(const nlohmann::json& numbers);
PrivateRsaKey ShopKey();
PrivateRsaKey BankKey();
PrivateRsaKey CoinKey(int d);

} // namespace paymentVectors
