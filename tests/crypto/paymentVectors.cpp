#include "paymentVectors.h"

#include <fstream>
#include <stdexcept>

namespace paymentVectors {

const nlohmann::json& Data() {
    static const nlohmann::json data = [] {
        std::ifstream in(KESTRANE_PAYMENT_VECTORS);
        if (!in)
            throw std::runtime_error("cannot open " KESTRANE_PAYMENT_VECTORS);
        return nlohmann::json::parse(in);
    }();
    return data;
}

bytes FromHex(const std::string& hex) {
    bytes out;
    for (size_t i = 0; i + 1 < hex.size(); i += 2)
        out.push_back(static_cast<uint8_t>(std::stoi(hex.substr(i, 2), nullptr, 16)));
    return out;
}

bytes Text(const std::string& key) {
    const std::string text = Data().at(key).get<std::string>();
    return bytes(text.begin(), text.end());
}

bytes Frame(const std::string& conversation, const std::string& name, const std::string& dir) {
    for (const auto& frame : Data().at(conversation)) {
        if (frame.at("name") == name && frame.at("dir") == dir)
            return FromHex(frame.at("data_hex").get<std::string>());
    }
    throw std::runtime_error("no frame " + name);
}

PrivateRsaKey Key(const nlohmann::json& numbers) {
    auto number = [&](const char* field) {
        // Crypto++ reads a trailing 'h' as hexadecimal.
        return CryptoPP::Integer((numbers.at(field).get<std::string>().substr(2) + "h").c_str());
    };
    const CryptoPP::Integer p = number("p"), q = number("q"), d = number("d");
    return PrivateRsaKey(number("n"), number("e"), d, p, q, d % (p - 1), d % (q - 1),
                         q.InverseMod(p));
}

PrivateRsaKey ShopKey() {
    return Key(Data().at("shop_key"));
}

PrivateRsaKey BankKey() {
    return Key(Data().at("bank_key"));
}

PrivateRsaKey CoinKey(int d) {
    return Key(Data().at("coin_keys").at(d));
}

} // namespace paymentVectors
