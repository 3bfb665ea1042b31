// kestrane-keygen: makes the key files of a demo world in a folder.

#include "keyWorld.h"

#include <cryptopp/osrng.h>

#include <cstdint>
#include <cstdlib>
#include <exception>
#include <iostream>
#include <optional>
#include <string>

namespace {

constexpr const char* USAGE =
    "usage: kestrane-keygen [--shop-id N] [--force] FOLDER\n"
    "\n"
    "Makes a demo world of 512-bit RSA keys in FOLDER (created if missing):\n"
    "  kestpv.rsa   the shop's identifier and private key\n"
    "  bankpub.rsa  the bank's public key, then coin keys 0 to 9\n"
    "  bankpv.rsa   the bank's private key, then coin keys 0 to 9\n"
    "  kestpub.rsa  the shop's identifier and public key (for consumers and the bank)\n"
    "\n"
    "  --shop-id N  the shop's identifier, 0 to 4294967295 (decimal or 0x hex);\n"
    "               random when not given\n"
    "  --force      overwrite key files that exist already\n"
    "  --help       show this text\n";

std::optional<uint32_t> ParseShopId(const std::string& text) {
    if (text.empty() || text[0] == '-' || text[0] == '+')
        return std::nullopt;
    try {
        size_t used = 0;
        const unsigned long long value = std::stoull(text, &used, 0);
        if (used != text.size() || value > UINT32_MAX)
            return std::nullopt;
        return static_cast<uint32_t>(value);
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

int UsageError(const std::string& text) {
    std::cerr << "kestrane-keygen: " << text << "\n" << USAGE;
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    std::optional<uint32_t> shopId;
    bool force = false;
    std::optional<std::string> folder;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            std::cout << USAGE;
            return 0;
        } else if (arg == "--force") {
            force = true;
        } else if (arg == "--shop-id") {
            if (i + 1 == argc)
                return UsageError("--shop-id needs a number");
            shopId = ParseShopId(argv[++i]);
            if (!shopId)
                return UsageError(std::string("not a shop id: ") + argv[i]);
        } else if (arg.starts_with("-") && arg != "-") {
            return UsageError("unknown option " + arg);
        } else if (folder) {
            return UsageError("only one folder, please");
        } else {
            folder = arg;
        }
    }
    if (!folder)
        return UsageError("no folder given");

    if (!force) {
        const auto existing = keyWorld::ExistingFiles(*folder);
        if (!existing.empty()) {
            for (const auto& path : existing)
                std::cerr << "kestrane-keygen: " << path.string() << " exists\n";
            std::cerr << "kestrane-keygen: nothing written; use --force to overwrite\n";
            return 1;
        }
    }
    try {
        CryptoPP::AutoSeededRandomPool rng;
        if (!shopId)
            shopId = rng.GenerateWord32();
        const keyWorld world(*shopId, rng);
        for (const std::string& line : world.Write(*folder))
            std::cout << line << "\n";
    } catch (const std::exception& e) {
        std::cerr << "kestrane-keygen: " << e.what() << "\n";
        return 1;
    }
    return 0;
}
