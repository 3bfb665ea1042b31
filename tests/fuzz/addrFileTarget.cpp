// Address files read by addrFile: the fields keep to their sizes, and the
// port is the field's number.

#include "fuzzCheck.h"
#include "fuzzTargets.h"
#include "fuzzWorld.h"
#include "shell/addrFile.h"

#include <sstream>
#include <string>

int AddrFileTarget(const std::uint8_t* data, std::size_t size) {
    fuzzWorld::Get();
    std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
    const addrFile file(in);
    FUZZ_CHECK(file.Address().size() <= addrFile::ADDRESS_FIELD_MAX);
    FUZZ_CHECK(file.PortField().size() <= addrFile::PORT_FIELD_MAX);
    const std::int32_t port = file.Port();
    FUZZ_CHECK(port > -10000000 && port < 10000000);
    // The converter on its own, over the whole input.
    addrFile::ConvertPort(std::string_view(reinterpret_cast<const char*>(data), size));
    return 0;
}
