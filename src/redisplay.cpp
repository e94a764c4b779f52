// redisplay.cpp — forwards redraw requests to whatever the program installed.
#include "redisplay.h"

namespace {
std::function<void()> redisplayHandler;
}  // namespace

void setRedisplayHandler(std::function<void()> handler) { redisplayHandler = std::move(handler); }

void requestRedisplay() {
    if (redisplayHandler) redisplayHandler();
}
