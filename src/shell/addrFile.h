#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <istream>
#include <optional>
#include <string>
#include <string_view>

// One address file ("ipaddr.bnk" for the bank, "ipaddr.kst" for the shop): two
// text fields, an address of at most 15 characters and a decimal port of at
// most 7, each on a line of its own after any leading whitespace. Lines end in
// LF or CR LF. A field that the file does not reach is empty.
class addrFile {
public:
    static constexpr std::size_t ADDRESS_FIELD_MAX = 15;
    static constexpr std::size_t PORT_FIELD_MAX = 7;

    // Reads both fields from `in`, which is left after the port field.
    explicit addrFile(std::istream& in);

    // Opens and reads the file at `path`; nothing when it cannot be opened
    // or read (missing, a folder, a read error).
    static std::optional<addrFile> Load(const std::filesystem::path& path);

    // The port field as a decimal number: leading whitespace skipped, one
    // optional sign, then digits up to the first non-digit; no digits give 0.
    static std::int32_t ConvertPort(std::string_view field);

    const std::string& Address() const { return address; }
    const std::string& PortField() const { return portField; }
    std::int32_t Port() const { return ConvertPort(portField); }

private:
    std::string address;
    std::string portField;
};
