// A working folder's four start-up files read by the document: it is built
// with every key and a bounded address, or refused with a start-up error.

#include "fuzzCheck.h"
#include "fuzzInput.h"
#include "fuzzTargets.h"
#include "fuzzWorld.h"
#include "shell/CKestraneDoc.h"
#include "shell/addrFile.h"
#include "shell/startError.h"

#include <filesystem>

namespace {
constexpr const char* FILE_NAMES[] = {"kestpv.rsa", "bankpub.rsa", "ipaddr.bnk", "ipaddr.kst"};
}

int KeyFolderTarget(const std::uint8_t* data, std::size_t size) {
    const fuzzWorld& world = fuzzWorld::Get();
    const std::filesystem::path folder = world.scratch / "folder";
    std::filesystem::create_directories(folder);

    // A first byte whose bit i leaves file i out, then the files' contents,
    // the last taking the rest. A file whose content is empty takes the
    // vectors' one instead, so that later files are reached.
    fuzzInput in(data, size);
    const std::uint8_t missing = in.Byte();
    for (int i = 0; i < 4; ++i) {
        std::vector<std::uint8_t> content = i < 3 ? in.Chunk() : in.Rest();
        if (content.empty() && i < 2) {
            content = i == 0 ? world.shopKeyFile : world.bankKeyFile;
        }
        const std::filesystem::path path = folder / FILE_NAMES[i];
        if ((missing >> i & 1) != 0) {
            std::filesystem::remove(path);
        } else {
            fuzzWorld::WriteFile(folder, FILE_NAMES[i], content);
        }
    }

    try {
        const CKestraneDoc doc(folder);
        FUZZ_CHECK(doc.shopKey && doc.bankKey);
        for (const auto& key : doc.coinKeys) {
            FUZZ_CHECK(key != nullptr);
        }
        FUZZ_CHECK(doc.bankAddress.size() <= addrFile::ADDRESS_FIELD_MAX);
    } catch (const startError&) {
    }
    return 0;
}
