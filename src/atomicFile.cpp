// atomicFile.cpp — write to a temporary file, then rename it over the old one.
#include "atomicFile.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>

namespace {
bool fail(std::string* why, std::string reason) {
    if (why) *why = std::move(reason);
    return false;
}
}  // namespace

bool replaceFileAtomically(const std::string& pathText, const std::string& text, std::string* why) {
    const std::filesystem::path path(pathText);
    std::error_code ec;
    if (path.has_parent_path()) std::filesystem::create_directories(path.parent_path(), ec);
    if (ec) return fail(why, "cannot make its folder: " + ec.message());
    const std::filesystem::path temp = path.string() + ".tmp" + std::to_string(getpid());
    {
        std::ofstream out(temp, std::ios::trunc | std::ios::binary);
        const int openError = out ? 0 : errno;
        out << text;
        out.close();
        if (!out) {
            std::filesystem::remove(temp, ec);
            return fail(why, "cannot write " + temp.filename().string() + ": " +
                                 (openError ? std::strerror(openError) : "the write failed"));
        }
    }
    std::filesystem::rename(temp, path, ec);
    if (ec) {
        const std::string reason = "cannot replace it: " + ec.message();
        std::filesystem::remove(temp, ec);
        return fail(why, reason);
    }
    return true;
}
