// gapless.h — a loop encoded with its own ends around it, and the encoder's tag told to trim them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// An encoder that starts and ends against silence makes the first and last frames of a
// loop that do not join. So the loop is encoded with its last LOOP_CONTEXT_FRAMES before
// it and its first after it: each end is then coded against the audio that really
// follows it in the game. Both are more than an MPEG frame and its filter's reach.
constexpr int LOOP_CONTEXT_FRAMES = 2048;

// `pcm` (interleaved, `channels` per frame) with its own last LOOP_CONTEXT_FRAMES in
// front and its first after it, wrapping round when the loop is shorter than that.
std::vector<int16_t> withLoopContext(const std::vector<int16_t>& pcm, int channels);

// Adds LOOP_CONTEXT_FRAMES to the encoder delay and to the padding in the LAME tag of
// the MP3 file at `path` and renews the tag's checksum, so a gapless decoder's output is
// the loop alone again. False, with `error`, when the file has no such tag or the
// figures would not fit in the tag's twelve bits.
bool trimLoopContext(const std::string& path, std::string& error);
// The same on the bytes of a file in memory.
bool trimLoopContext(std::vector<uint8_t>& mp3, std::string& error);
