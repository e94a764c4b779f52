// atomicFile.h — replacing a small file in one step.
#pragma once

#include <string>

// Writes `text` to a temporary file beside `path` (making the folder if need be), then
// renames it over `path`, so a crash never leaves half a file. False when any step fails;
// the old file, if any, is then left as it was, and `why` (when given) says which step
// failed and the system's reason.
bool replaceFileAtomically(const std::string& path, const std::string& text, std::string* why = nullptr);
