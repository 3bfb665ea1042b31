#pragma once

#include <stdexcept>
#include <string>

// Raised while the document is built from the working folder when a start-up
// file cannot be opened or read; what() is the text shown to the operator
// ("Could not open kestpv.rsa", "Could not read bankpub.rsa: ..."). The program
// then ends with status 1.
class startError : public std::runtime_error {
public:
    explicit startError(const std::string& text) : std::runtime_error(text) {}
};
