#pragma once

#include <cryptopp/cryptlib.h>

#include <string>

// Raised when a key decodes but cannot serve as one of the system's keys (a
// modulus other than 512 bits, a private key whose numbers do not fit
// together). Like BERDecodeErr it is a CryptoPP::Exception, so a loader that
// catches either catches both; what() names the problem.
class rsaKeyError : public CryptoPP::InvalidDataFormat {
public:
    explicit rsaKeyError(const std::string& text) : CryptoPP::InvalidDataFormat(text) {}
};
