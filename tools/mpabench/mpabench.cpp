// mpabench.cpp — decodes the same MP3 files with this decoder, libmpg123 and libmad, and prints the time each takes.
//   mpabench [-r RUNS] [-k scalar|lanes|avx2|neon] FILE...
// -k runs this decoder on the named kernels instead of those it picks for the CPU.
// Each decoder turns the whole file (held in memory) into 16-bit PCM; the best of RUNS runs counts.
// Times are the CPU time of the decoding thread, so that other work on a shared machine does not
// count against whichever decoder it happens to interrupt; wall-clock time is shown beside them.
#include <mad.h>
#include <time.h>
#include <mpg123.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "mpaudec.h"

// Counts every heap allocation of the process, to show that decoding allocates nothing per frame.
// (Not under the sanitizers, which bring their own allocator.)
static std::atomic<long> allocations{0};
#ifndef MPABENCH_NO_ALLOCATION_COUNT
extern "C" {
void* __libc_malloc(size_t);
void* __libc_calloc(size_t, size_t);
void* __libc_realloc(void*, size_t);
void* malloc(size_t n)
{
    allocations.fetch_add(1, std::memory_order_relaxed);
    return __libc_malloc(n);
}
void* calloc(size_t n, size_t size)
{
    allocations.fetch_add(1, std::memory_order_relaxed);
    return __libc_calloc(n, size);
}
void* realloc(void* p, size_t n)
{
    allocations.fetch_add(1, std::memory_order_relaxed);
    return __libc_realloc(p, n);
}
}
#endif

namespace {

struct Result {
    double seconds = 1e30;    // best run, thread CPU time
    double wall = 1e30;       // best run, wall-clock time
    uint64_t samples = 0;     // PCM samples (all channels)
    int64_t checksum = 0;     // keeps the output alive and comparable between runs
    long allocations = 0;     // heap allocations of one run after set-up
    int sample_rate = 0;
    int channels = 0;
};

double cpuNow()
{
    timespec t;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

// Starts both clocks; stop() keeps the best of the runs in the result.
class Timer {
public:
    Timer() : wall_(std::chrono::steady_clock::now()), cpu_(cpuNow()) {}
    void stop(Result& r) const
    {
        const double cpu = cpuNow() - cpu_;
        const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - wall_).count();
        r.seconds = std::min(r.seconds, cpu);
        r.wall = std::min(r.wall, wall);
    }

private:
    std::chrono::steady_clock::time_point wall_;
    double cpu_;
};

void ours(const std::vector<uint8_t>& file, Result& r)
{
    MPAuDecContext ctx;
    if (mpaudec_init(&ctx) < 0) {
        std::fprintf(stderr, "mpaudec_init failed\n");
        std::exit(1);
    }
    static int16_t pcm[MPAUDEC_MAX_AUDIO_FRAME_SIZE / 2];
    uint64_t samples = 0;
    int64_t checksum = 0;
    const long allocations_before = allocations.load();
    const Timer timer;
    size_t pos = 0;
    while (pos < file.size()) {
        int size = 0;
        const int used = mpaudec_decode_frame(&ctx, pcm, &size, file.data() + pos, int(file.size() - pos));
        pos += used;
        if (size > 0) {
            const int n = size / 2;
            samples += n;
            checksum += pcm[n / 3];
        }
        if (used == 0 && size == 0)
            break;
    }
    timer.stop(r);
    r.allocations = allocations.load() - allocations_before;
    r.samples = samples;
    r.checksum = checksum;
    r.sample_rate = ctx.sample_rate;
    r.channels = ctx.channels;
    mpaudec_clear(&ctx);
}

void with_mpg123(const std::vector<uint8_t>& file, Result& r)
{
    int err = 0;
    mpg123_handle* mh = mpg123_new(nullptr, &err);
    if (!mh || mpg123_open_feed(mh) != MPG123_OK) {
        std::fprintf(stderr, "libmpg123 set-up failed\n");
        std::exit(1);
    }
    mpg123_param(mh, MPG123_ADD_FLAGS, MPG123_QUIET, 0);
    mpg123_param(mh, MPG123_REMOVE_FLAGS, MPG123_GAPLESS, 0);
    static int16_t pcm[MPAUDEC_MAX_AUDIO_FRAME_SIZE / 2];
    uint64_t samples = 0;
    int64_t checksum = 0;
    const long allocations_before = allocations.load();
    const Timer timer;
    mpg123_feed(mh, file.data(), file.size());
    for (;;) {
        size_t done = 0;
        const int ret = mpg123_read(mh, pcm, sizeof pcm, &done);
        if (done > 0) {
            const size_t n = done / 2;
            samples += n;
            checksum += pcm[n / 3];
        }
        if (ret == MPG123_NEED_MORE || ret == MPG123_DONE || (ret != MPG123_OK && ret != MPG123_NEW_FORMAT))
            break;
    }
    timer.stop(r);
    r.allocations = allocations.load() - allocations_before;
    r.samples = samples;
    r.checksum = checksum;
    mpg123_delete(mh);
}

int16_t mad_to_16(mad_fixed_t s)
{
    s += 1L << (MAD_F_FRACBITS - 16);   // round
    if (s >= MAD_F_ONE)
        s = MAD_F_ONE - 1;
    else if (s < -MAD_F_ONE)
        s = -MAD_F_ONE;
    return static_cast<int16_t>(s >> (MAD_F_FRACBITS + 1 - 16));
}

void with_mad(const std::vector<uint8_t>& file, Result& r)
{
    // libmad reads up to MAD_BUFFER_GUARD bytes past the last frame: give it zeros there.
    std::vector<uint8_t> padded(file);
    padded.resize(file.size() + MAD_BUFFER_GUARD, 0);
    mad_stream stream;
    mad_frame frame;
    mad_synth synth;
    mad_stream_init(&stream);
    mad_frame_init(&frame);
    mad_synth_init(&synth);
    static int16_t pcm[MPAUDEC_MAX_AUDIO_FRAME_SIZE / 2];
    uint64_t samples = 0;
    int64_t checksum = 0;
    const long allocations_before = allocations.load();
    const Timer timer;
    mad_stream_buffer(&stream, padded.data(), padded.size());
    for (;;) {
        if (mad_frame_decode(&frame, &stream) != 0) {
            if (MAD_RECOVERABLE(stream.error))
                continue;
            break;
        }
        mad_synth_frame(&synth, &frame);
        const unsigned channels = synth.pcm.channels;
        const unsigned length = synth.pcm.length;
        for (unsigned i = 0; i < length; ++i)
            for (unsigned ch = 0; ch < channels; ++ch)
                pcm[i * channels + ch] = mad_to_16(synth.pcm.samples[ch][i]);
        const size_t n = size_t{length} * channels;
        samples += n;
        checksum += pcm[n / 3];
    }
    timer.stop(r);
    r.allocations = allocations.load() - allocations_before;
    r.samples = samples;
    r.checksum = checksum;
    mad_synth_finish(&synth);
    mad_frame_finish(&frame);
    mad_stream_finish(&stream);
}

}  // namespace

int main(int argc, char** argv)
{
    int runs = 3;
    std::vector<std::string> files;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "-r") == 0 && i + 1 < argc) {
            runs = std::max(1, std::atoi(argv[++i]));
        } else if (std::strcmp(argv[i], "-k") == 0 && i + 1 < argc) {
            if (mpaudec_use_kernels(argv[++i]) != 0) {
                std::fprintf(stderr, "mpabench: no %s kernels in this build or on this CPU\n", argv[i]);
                return 2;
            }
        } else {
            files.push_back(argv[i]);
        }
    }
    if (files.empty()) {
        std::fprintf(stderr, "usage: mpabench [-r RUNS] [-k scalar|lanes|avx2|neon] FILE...\n");
        return 2;
    }
    if (mpg123_init() != MPG123_OK) {
        std::fprintf(stderr, "mpg123_init failed\n");
        return 1;
    }

    {
        MPAuDecContext probe;   // the first decoder picks the kernels, unless -k did
        if (mpaudec_init(&probe) == 0)
            std::printf("ours: %s kernels\n", mpaudec_kernels());
        mpaudec_clear(&probe);
    }
    std::printf("%-24s %-9s %8s %8s %10s %8s %10s %6s\n", "file", "decoder", "cpu s", "wall s",
                "x realtime", "vs ours", "samples", "allocs");
    for (const std::string& name : files) {
        std::ifstream in(name, std::ios::binary);
        if (!in) {
            std::fprintf(stderr, "cannot read %s\n", name.c_str());
            return 1;
        }
        const std::vector<uint8_t> file{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
        Result results[3];
        // Interleaved runs, so that a busy moment on the machine does not favour one decoder.
        for (int run = 0; run < runs; ++run) {
            ours(file, results[0]);
            with_mpg123(file, results[1]);
            with_mad(file, results[2]);
        }
        const double audio_seconds = results[0].sample_rate && results[0].channels
            ? double(results[0].samples) / results[0].channels / results[0].sample_rate
            : 0.0;
        const char* names[3] = {"ours", "libmpg123", "libmad"};
        const std::string shown = name.substr(name.find_last_of('/') + 1);
        for (int d = 0; d < 3; ++d) {
            const Result& r = results[d];
#ifdef MPABENCH_NO_ALLOCATION_COUNT
            const std::string allocs = "n/a";
#else
            const std::string allocs = std::to_string(r.allocations);
#endif
            std::printf("%-24s %-9s %8.3f %8.3f %10.1f %8.2f %10llu %6s\n", shown.c_str(), names[d], r.seconds,
                        r.wall, audio_seconds / r.seconds, r.seconds / results[0].seconds,
                        static_cast<unsigned long long>(r.samples), allocs.c_str());
        }
    }
    mpg123_exit();
    return 0;
}
