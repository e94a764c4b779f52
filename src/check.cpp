// check.cpp — failed assertions and fatal data errors, spoken in one place.
#include "check.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {
FatalHandler fatalHandler;
StopContext* innermostContext = nullptr;

[[noreturn]] void stop(int status, const std::string& line, FILE* stream) {
    const std::string message = stopContextLine() + line;
    if (fatalHandler) {
        fatalHandler(status, message.c_str());
        // A handler that returns would let the caller go on with bad data.
        std::fputs("fatal handler returned\n", stderr);
        std::abort();
    }
    std::fputs(message.c_str(), stream);
    std::fflush(stream);
    std::exit(status);
}
}  // namespace

StopContext::StopContext(std::function<std::string()> describe)
    : describe(std::move(describe)), outer(innermostContext) {
    innermostContext = this;
}

StopContext::~StopContext() { innermostContext = outer; }

std::string stopContextLine() {
    StopContext* context = innermostContext;
    if (!context) return "";
    // A stop while describing must not describe again.
    innermostContext = nullptr;
    std::string line = context->describe();
    innermostContext = context;
    if (!line.empty() && line.back() != '\n') line += '\n';
    return line;
}

void failAssertion(const char* condition, const char* file, int line) {
    std::string failed = std::string(file) + ":" + std::to_string(line) +
                         ": Assertion `" + condition + "' failed.\n";
    if (fatalHandler) stop(134, failed, stderr);
    const std::string message = stopContextLine() + failed;
    std::fputs(message.c_str(), stderr);
    std::fflush(stderr);
    std::abort();
}

std::string formatLine(const char* format, va_list args) {
    va_list measure;
    va_copy(measure, args);
    int length = std::vsnprintf(nullptr, 0, format, measure);
    va_end(measure);
    if (length < 0) return format;
    std::string text(static_cast<size_t>(length) + 1, '\0');
    std::vsnprintf(text.data(), text.size(), format, args);
    text.resize(static_cast<size_t>(length));
    return text;
}

void fatalExit(int status, const char* line) { stop(status, line, stdout); }

void fatalExitStderr(int status, const char* line) { stop(status, line, stderr); }

void fatalExitf(int status, const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::string line = formatLine(format, args);
    va_end(args);
    stop(status, line, stdout);
}

void setFatalHandler(FatalHandler handler) { fatalHandler = std::move(handler); }
