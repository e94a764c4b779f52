// atomicFile.cpp — write to a temporary file, then rename it over the old one.
#include "atomicFile.h"

#include <unistd.h>

#include <filesystem>
#include <fstream>

bool replaceFileAtomically(const std::string& pathText, const std::string& text) {
    const std::filesystem::path path(pathText);
    std::error_code ec;
    if (path.has_parent_path()) std::filesystem::create_directories(path.parent_path(), ec);
    if (ec) return false;
    const std::filesystem::path temp = path.string() + ".tmp" + std::to_string(getpid());
    {
        std::ofstream out(temp, std::ios::trunc | std::ios::binary);
        out << text;
        out.flush();
        if (!out) {
            std::filesystem::remove(temp, ec);
            return false;
        }
    }
    std::filesystem::rename(temp, path, ec);
    if (ec) {
        std::filesystem::remove(temp, ec);
        return false;
    }
    return true;
}
