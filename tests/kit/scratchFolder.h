#pragma once

#include <filesystem>

// A fresh folder under the system's temporary folder, removed with its
// contents at the end.
class scratchFolder {
public:
    scratchFolder();
    ~scratchFolder();
    scratchFolder(const scratchFolder&) = delete;
    scratchFolder& operator=(const scratchFolder&) = delete;

    std::filesystem::path path;
};
