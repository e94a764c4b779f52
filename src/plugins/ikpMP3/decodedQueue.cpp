// decodedQueue.cpp — the stream's queue of decoded PCM bytes not yet handed out: grown on demand,
// read from the front.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "CIrrKlangAudioStreamMP3.h"

namespace irrklang {

CIrrKlangAudioStreamMP3::QueueBuffer::QueueBuffer()
    : Buffer(static_cast<unsigned char*>(std::malloc(256))), Capacity(Buffer ? 256 : 0), Size(0)
{
}

CIrrKlangAudioStreamMP3::QueueBuffer::~QueueBuffer()
{
    std::free(Buffer);
}

bool CIrrKlangAudioStreamMP3::QueueBuffer::write(const void* data, int size)
{
    if (size <= 0)
        return true;
    int64_t newCapacity = std::max(Capacity, 1);
    while (newCapacity < int64_t(Size) + size)
        newCapacity *= 2;
    if (newCapacity > Capacity) {
        if (newCapacity > INT32_MAX)
            return false;
        void* grown = std::realloc(Buffer, size_t(newCapacity));
        if (!grown)
            return false;
        Buffer = static_cast<unsigned char*>(grown);
        Capacity = int(newCapacity);
    }
    std::memcpy(Buffer + Size, data, size_t(size));
    Size += size;
    return true;
}

int CIrrKlangAudioStreamMP3::QueueBuffer::read(void* target, int size)
{
    const int n = std::clamp(size, 0, Size);
    if (n == 0)
        return 0;
    std::memcpy(target, Buffer, size_t(n));
    std::memmove(Buffer, Buffer + n, size_t(Size - n));
    Size -= n;
    return n;
}

} // namespace irrklang
