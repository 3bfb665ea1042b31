#include "scratchFolder.h"

#include <gtest/gtest.h>

#include <stdlib.h>

#include <string>

scratchFolder::scratchFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "kestrane-XXXXXX").string();
    if (mkdtemp(pattern.data()) != nullptr)
        path = pattern;
    else
        ADD_FAILURE() << "cannot make a scratch folder";
}

scratchFolder::~scratchFolder() {
    std::error_code ignored;
    if (!path.empty())
        std::filesystem::remove_all(path, ignored);
}
