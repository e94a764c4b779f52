// fuzzStops.h — for the targets whose code ends the process on bad input: each stop throws
// instead, so one run tries many inputs.
#pragma once

#include <cstddef>
#include <cstdint>

#include "check.h"
#include "fuzzInput.h"

// What a stop of the program (fatalExit, a failed assertion) throws here.
struct Stopped {
    int status;
};

// Writes the input to this process's scratch file (made with `suffix` on the first call,
// when stops are also turned into throwing Stopped) and returns its path.
inline const char* stoppableInput(const char* suffix, const uint8_t* data, size_t size) {
    static ScratchFile file(suffix);
    static const bool handlerSet = [] {
        setFatalHandler([](int status, const char*) { throw Stopped{status}; });
        return true;
    }();
    (void)handlerSet;
    return file.write(data, size);
}
