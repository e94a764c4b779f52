// glide.cpp — following the actors from picture to picture and easing each move.
#include "glide.h"

#include <algorithm>
#include <cstdlib>

#include "tileManager.h"

namespace {
constexpr int64_t NEVER = INT64_MIN / 2;

// The drawn clock: the glide moves on whole GLIDE_FRAME_MS steps only.
int64_t drawnTime(int64_t nowMs) { return nowMs - ((nowMs % GLIDE_FRAME_MS) + GLIDE_FRAME_MS) % GLIDE_FRAME_MS; }

int msLeftAt(int64_t startMs, int64_t nowMs) {
    if (startMs == NEVER) return 0;
    const int64_t left = startMs + GLIDE_MS - drawnTime(nowMs);
    return static_cast<int>(std::clamp<int64_t>(left, 0, GLIDE_MS));
}
}  // namespace

void Glides::follow(const std::vector<int>& actors, unsigned boardNow, int64_t nowMs) {
    previous.swap(tracks);
    tracks.clear();
    const bool fresh = boardNow == 0 || boardNow != board;
    board = boardNow;
    // Each list keeps its order from one picture to the next (the dead are erased, new
    // objects appended), so the k-th of a kind is matched with the first one of its kind,
    // after the last matched, that stands on its square or next to it.
    size_t next[6] = {0, 0, 0, 0, 0, 0};
    for (size_t k = 0; k + 2 < actors.size(); k += 3) {
        Track t{tileKind(actors[k]), actors[k + 1], actors[k + 2], actors[k + 1], actors[k + 2], NEVER};
        if (!fresh && t.kind >= 0) {
            for (size_t q = next[t.kind]; q < previous.size(); ++q) {
                const Track& p = previous[q];
                const int dist = std::abs(p.x - t.x) + std::abs(p.y - t.y);
                if (p.kind != t.kind || dist > 1) continue;
                next[t.kind] = q + 1;
                if (dist == 0) {
                    t.fromX = p.fromX;
                    t.fromY = p.fromY;
                    t.startMs = p.startMs;
                } else {
                    t.fromX = p.x;
                    t.fromY = p.y;
                    t.startMs = nowMs;
                }
                break;
            }
        }
        tracks.push_back(t);
    }
}

GlideShift Glides::shift(size_t k, int64_t nowMs) const {
    if (k >= tracks.size()) return {};
    const Track& t = tracks[k];
    const int left = msLeftAt(t.startMs, nowMs);
    if (left == 0 || (t.fromX == t.x && t.fromY == t.y)) return {};
    return {t.fromX - t.x, t.fromY - t.y, left};
}

int64_t Glides::phase(int64_t nowMs) const {
    for (size_t k = 0; k < tracks.size(); ++k)
        if (shift(k, nowMs).msLeft > 0) return drawnTime(nowMs) / GLIDE_FRAME_MS + 1;
    return 0;
}
