#include "wireVectors.h"

#include <fstream>
#include <nlohmann/json.hpp>
#include <stdexcept>

bytes FromHex(const std::string& hex) {
    bytes out;
    std::string digits;
    for (char c : hex) {
        if (c != ' ') {
            digits.push_back(c);
        }
    }
    for (std::size_t i = 0; i + 1 < digits.size(); i += 2) {
        out.push_back(static_cast<std::uint8_t>(std::stoul(digits.substr(i, 2), nullptr, 16)));
    }
    return out;
}

std::vector<frameVector> FrameVectors() {
    std::vector<frameVector> vectors = {
        {"empty key", 1, 0, {}, FromHex("01 00 00 00 00 00 45 A0 00 00")},
        {"key abc", 1, 0, FromHex("616263"), FromHex("01 00 03 00 00 00 DE 7C 61 62 63 9D D6")},
        {"reply abc", 2, 1, FromHex("616263"), FromHex("02 01 03 00 00 00 BA CD 61 62 63 9D D6")},
        {"close", 64, 0, FromHex("0000"), FromHex("40 00 02 00 00 00 87 78 00 00 00 00")},
    };
    std::ifstream file(KESTRANE_PAYMENT_VECTORS);
    if (!file) {
        throw std::runtime_error("missing " KESTRANE_PAYMENT_VECTORS);
    }
    const nlohmann::json payment = nlohmann::json::parse(file);
    for (const char* list : {"consumer_conversation", "bank_conversation", "error_frames"}) {
        for (const auto& f : payment.at(list)) {
            vectors.push_back({f.at("name").get<std::string>(), f.at("type").get<std::uint8_t>(),
                               f.at("step").get<std::uint8_t>(),
                               FromHex(f.at("data_hex").get<std::string>()),
                               FromHex(f.at("frame_hex").get<std::string>())});
        }
    }
    return vectors;
}
