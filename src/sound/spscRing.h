// spscRing.h — a fixed-size queue between exactly one producer and one consumer thread, without locks.
#pragma once

#include <array>
#include <atomic>
#include <cstddef>

// Neither side ever waits or allocates, so the audio thread may be either end.
template <typename T, size_t N>
class SpscRing {
    static_assert(N >= 2 && (N & (N - 1)) == 0, "the capacity is a power of two");

public:
    // False when full; the item is then not taken.
    bool push(const T& item) {
        const size_t tail = Tail.load(std::memory_order_relaxed);
        if (tail - Head.load(std::memory_order_acquire) == N) return false;
        Slots[tail & (N - 1)] = item;
        Tail.store(tail + 1, std::memory_order_release);
        return true;
    }

    // False when empty.
    bool pop(T& item) {
        const size_t head = Head.load(std::memory_order_relaxed);
        if (head == Tail.load(std::memory_order_acquire)) return false;
        item = Slots[head & (N - 1)];
        Head.store(head + 1, std::memory_order_release);
        return true;
    }

private:
    std::array<T, N> Slots{};
    alignas(64) std::atomic<size_t> Head{0};
    alignas(64) std::atomic<size_t> Tail{0};
};
