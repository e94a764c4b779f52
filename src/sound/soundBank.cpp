// soundBank.cpp — sound files into streams, streams lent to the mixer and rewound when they come back.
#include "sound/soundBank.h"

#include <chrono>
#include <fstream>
#include <iterator>

namespace {
// Well within a buffer: the keeper rewinds a looped music copy long before the spare runs out.
constexpr auto KEEPER_PERIOD = std::chrono::milliseconds(5);
// Decoded once at loading; a few MPEG frames grow the stream's buffers to their full size.
constexpr int WARM_UP_FRAMES = 4096;
}  // namespace

const char* soundPath(int sound) { return sound >= 0 && sound < NUM_SOUNDS ? SOUND_FILES[sound].path : nullptr; }

std::string SoundBank::load(EngineHost& host, int sound, const std::string& path, int copies) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return "cannot be read";
    auto bytes = std::make_shared<std::vector<uint8_t>>(std::istreambuf_iterator<char>(in),
                                                        std::istreambuf_iterator<char>());
    if (in.bad()) return "cannot be read";
    const SoundBytes shared = bytes;
    std::vector<int16_t> scratch(WARM_UP_FRAMES * 2);
    std::vector<irrklang::IAudioStream*> opened;
    std::string problem;
    for (int i = 0; i < copies && problem.empty(); ++i) {
        irrklang::IAudioStream* stream = host.openStream(path, shared);
        if (!stream) {
            problem = "is not MPEG audio";
            break;
        }
        opened.push_back(stream);
        const irrklang::SAudioStreamFormat format = stream->getFormat();
        if (format.SampleRate != OUTPUT_RATE)
            problem = "plays at " + std::to_string(format.SampleRate) + " Hz, not " +
                      std::to_string(OUTPUT_RATE);
        else if (format.ChannelCount != 1 && format.ChannelCount != 2)
            problem = "has " + std::to_string(format.ChannelCount) + " channels";
        else if (format.SampleFormat != irrklang::ESF_S16)
            problem = "does not decode to 16-bit samples";
        else if (stream->readFrames(scratch.data(), WARM_UP_FRAMES) <= 0 || !stream->setPosition(0))
            problem = "holds no audio that decodes";
        else
            Frames[sound] = format.FrameCount;
    }
    if (!problem.empty()) {
        for (irrklang::IAudioStream* s : opened) s->drop();
        Frames[sound] = 0;
        return problem;
    }
    std::lock_guard<std::mutex> hold(ReadyLock);
    Ready[sound].reserve(opened.size());
    for (irrklang::IAudioStream* s : opened) Ready[sound].push_back(s);
    return {};
}

int SoundBank::ready(int sound) {
    std::lock_guard<std::mutex> hold(ReadyLock);
    return int(Ready[sound].size());
}

irrklang::IAudioStream* SoundBank::borrow(int sound) {
    std::lock_guard<std::mutex> hold(ReadyLock);
    if (Ready[sound].empty()) return nullptr;
    irrklang::IAudioStream* stream = Ready[sound].back();
    Ready[sound].pop_back();
    return stream;
}

void SoundBank::putBack(int sound, irrklang::IAudioStream* stream) {
    std::lock_guard<std::mutex> hold(ReadyLock);
    Ready[sound].push_back(stream);
}

void SoundBank::serviceReturns() {
    LentStream back;
    while (TheMixer.takeReturned(back)) {
        if (!back.stream) {
            SpareWanted[back.sound] = true;
            continue;
        }
        back.stream->setPosition(0);
        putBack(back.sound, back.stream);
    }
    for (int sound = 0; sound < NUM_SOUNDS; ++sound) {
        if (!SpareWanted[sound]) continue;
        irrklang::IAudioStream* spare = borrow(sound);
        if (!spare) continue;
        if (TheMixer.offerMusicSpare(sound, spare))
            SpareWanted[sound] = false;
        else
            putBack(sound, spare);
    }
}

void SoundBank::keep() {
    std::unique_lock<std::mutex> hold(WakeLock);
    while (!Stopping) {
        hold.unlock();
        serviceReturns();
        hold.lock();
        Wake.wait_for(hold, KEEPER_PERIOD, [this] { return Stopping; });
    }
}

void SoundBank::startKeeper() {
    if (!Keeper.joinable()) Keeper = std::thread([this] { keep(); });
}

void SoundBank::stop() {
    if (Keeper.joinable()) {
        {
            std::lock_guard<std::mutex> hold(WakeLock);
            Stopping = true;
        }
        Wake.notify_all();
        Keeper.join();
    }
    LentStream back;
    while (TheMixer.takeReturned(back))
        if (back.stream) back.stream->drop();
    std::lock_guard<std::mutex> hold(ReadyLock);
    for (auto& streams : Ready) {
        for (irrklang::IAudioStream* s : streams) s->drop();
        streams.clear();
    }
}
