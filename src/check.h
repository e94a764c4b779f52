// check.h — the game's one way to stop: failed assertions and fatal data errors.
#pragma once

#include <cstdarg>
#include <functional>
#include <string>

// Stops the program when `cond` is false, printing the condition text exactly as
// written. Active in every build type; the game's rules rely on it.
#define VW_ASSERT(cond) \
    ((cond) ? static_cast<void>(0) : ::failAssertion(#cond, __FILE__, __LINE__))

[[noreturn]] void failAssertion(const char* condition, const char* file, int line);

// Prints `line` as given (to standard output) and ends the process with `status`.
[[noreturn]] void fatalExit(int status, const char* line);

// printf-style form of fatalExit; the formatted text is printed as one line.
[[noreturn]] void fatalExitf(int status, const char* format, ...)
    __attribute__((format(printf, 2, 3)));

// The same, for failures reported on standard error (an unreadable image file).
[[noreturn]] void fatalExitStderr(int status, const char* line);

// The text a printf-style format makes of args, as long as it is; the format itself when it
// cannot be formatted.
std::string formatLine(const char* format, va_list args);

// While a StopContext lives, a stop (a failed assertion or a fatal error) first prints the
// line its `describe` returns, on the same stream and as part of the same message, e.g. the
// file being read and the position in it. Contexts nest; the innermost one speaks.
class StopContext {
public:
    explicit StopContext(std::function<std::string()> describe);
    ~StopContext();
    StopContext(const StopContext&) = delete;
    StopContext& operator=(const StopContext&) = delete;

private:
    friend std::string stopContextLine();
    std::function<std::string()> describe;
    StopContext* outer;
};

// The innermost context's line, ending in a line break; "" without a context.
std::string stopContextLine();

// Where a fatal error or failed assertion ends up. The default prints and exits;
// a fuzzer or test may install a handler that throws instead, so one process can
// explore many inputs. The handler must not return.
using FatalHandler = std::function<void(int status, const char* message)>;
void setFatalHandler(FatalHandler handler);   // empty restores the default
