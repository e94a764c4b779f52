// score.cpp — reading a score and playing it through the synthesizer.
//
// A score is lines of words; a word starting with '#' starts a comment. Settings: "channels 2", "tempo 84"
// (beats per minute), "length 64" (beats), "loop", "peak 0.7" (the loudest sample, of full scale) or "loudness -18" (LUFS, as the game
// plays the sound: a mono one on both speakers), "echo SECONDS FEEDBACK".
// "instrument NAME key=value ..." defines a sound (keys as in Instrument: wave, attack,
// decay, sustain, release, gain, pan, cutoff, cutoff_end, resonance, highpass, glide,
// vibrato_rate, vibrato_depth, detune, fifth). A play line places notes:
//   play NAME at BEAT [step BEATS] [dur BEATS] [vel V] [times N every BEATS] : NOTES
// Notes follow each other `step` beats apart (default 1), each held `dur` beats
// (default step); "-" is a rest, "D3+F3+A3" a chord, "hz:80" a bare frequency; the
// whole line repeats `times` times, `every` beats apart.
#include "score.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <sstream>

#include "loudness.h"

namespace {

bool number(const std::string& word, double& v) {
    char* end = nullptr;
    v = std::strtod(word.c_str(), &end);
    return !word.empty() && end && *end == '\0';
}

bool setInstrumentKey(Instrument& in, const std::string& key, const std::string& value) {
    if (key == "wave") {
        static const std::map<std::string, Wave> waves = {{"sine", Wave::Sine}, {"triangle", Wave::Triangle},
                                                          {"saw", Wave::Saw}, {"square", Wave::Square},
                                                          {"noise", Wave::Noise}};
        auto it = waves.find(value);
        if (it == waves.end()) return false;
        in.wave = it->second;
        return true;
    }
    const std::map<std::string, double*> fields = {
        {"attack", &in.attack}, {"decay", &in.decay}, {"sustain", &in.sustain}, {"release", &in.release},
        {"gain", &in.gain}, {"pan", &in.pan}, {"cutoff", &in.cutoff}, {"cutoff_end", &in.cutoffEnd},
        {"resonance", &in.resonance}, {"highpass", &in.highpass}, {"glide", &in.glide},
        {"vibrato_rate", &in.vibratoRate}, {"vibrato_depth", &in.vibratoDepth}, {"detune", &in.detune},
        {"fifth", &in.fifth}};
    auto it = fields.find(key);
    return it != fields.end() && number(value, *it->second);
}

}  // namespace

double noteFrequency(const std::string& name) {
    if (name.rfind("hz:", 0) == 0) {
        double f = 0;
        return number(name.substr(3), f) && f > 0 ? f : 0;
    }
    static const int steps[7] = {9, 11, 0, 2, 4, 5, 7};   // A B C D E F G from C
    if (name.size() < 2 || name[0] < 'A' || name[0] > 'G') return 0;
    int semitone = steps[name[0] - 'A'];
    size_t i = 1;
    if (name[i] == '#') ++semitone, ++i;
    else if (name[i] == 'b') --semitone, ++i;
    if (i + 1 != name.size() || name[i] < '0' || name[i] > '8') return 0;
    const int midi = 12 * (name[i] - '0' + 1) + semitone;
    return 440.0 * std::pow(2.0, (midi - 69) / 12.0);
}

bool parseScore(const std::string& text, Score& score, std::string& error) {
    std::istringstream lines(text);
    std::string line;
    int lineNo = 0;
    auto fail = [&](const std::string& why) {
        error = "line " + std::to_string(lineNo) + ": " + why;
        return false;
    };
    while (std::getline(lines, line)) {
        ++lineNo;
        // A comment starts with '#' at the start of a word; inside one it is a sharp (F#4).
        for (size_t i = 0; i < line.size(); ++i)
            if (line[i] == '#' && (i == 0 || std::isspace(static_cast<unsigned char>(line[i - 1])))) {
                line.erase(i);
                break;
            }
        std::istringstream words(line);
        std::string command;
        if (!(words >> command)) continue;
        std::vector<std::string> args;
        for (std::string w; words >> w;) args.push_back(w);
        double v = 0;
        auto one = [&](double& field) { return args.size() == 1 && number(args[0], field); };
        if (command == "channels") {
            if (!one(v) || (v != 1 && v != 2)) return fail("channels is 1 or 2");
            score.channels = int(v);
        } else if (command == "tempo") {
            if (!one(score.tempo) || score.tempo <= 0) return fail("tempo needs beats per minute");
        } else if (command == "length") {
            if (!one(score.lengthBeats) || score.lengthBeats <= 0) return fail("length needs beats");
        } else if (command == "loop") {
            score.loop = true;
        } else if (command == "peak") {
            if (!one(score.peak) || score.peak <= 0 || score.peak > 1) return fail("peak is in (0, 1]");
        } else if (command == "loudness") {
            if (!one(score.loudness) || score.loudness >= 0 || score.loudness < -60)
                return fail("loudness is in LUFS, between -60 and 0");
        } else if (command == "echo") {
            if (args.size() != 2 || !number(args[0], score.echoSeconds) || !number(args[1], score.echoFeedback) ||
                score.echoFeedback < 0 || score.echoFeedback >= 1)
                return fail("echo needs a delay in seconds and a feedback below 1");
        } else if (command == "instrument") {
            if (args.empty()) return fail("instrument needs a name");
            Instrument in;
            for (size_t k = 1; k < args.size(); ++k) {
                const size_t eq = args[k].find('=');
                if (eq == std::string::npos || !setInstrumentKey(in, args[k].substr(0, eq), args[k].substr(eq + 1)))
                    return fail("bad instrument setting " + args[k]);
            }
            score.instruments[args[0]] = in;
        } else if (command == "play") {
            if (args.empty() || !score.instruments.count(args[0])) return fail("play needs a defined instrument");
            const Instrument* in = &score.instruments[args[0]];
            double at = 0, step = 1, dur = -1, vel = 1, times = 1, every = 0;
            size_t k = 1;
            for (; k < args.size() && args[k] != ":"; k += 2) {
                if (k + 1 >= args.size() || !number(args[k + 1], v)) return fail("bad play setting " + args[k]);
                if (args[k] == "at") at = v;
                else if (args[k] == "step") step = v;
                else if (args[k] == "dur") dur = v;
                else if (args[k] == "vel") vel = v;
                else if (args[k] == "times") times = v;
                else if (args[k] == "every") every = v;
                else return fail("unknown play setting " + args[k]);
            }
            if (k >= args.size()) return fail("play needs ':' before its notes");
            if (dur < 0) dur = step;
            const double beat = 60.0 / score.tempo;
            for (int rep = 0; rep < int(times); ++rep) {
                double t = at + rep * every;
                for (size_t n = k + 1; n < args.size(); ++n, t += step) {
                    if (args[n] == "-") continue;
                    std::istringstream chord(args[n]);
                    for (std::string name; std::getline(chord, name, '+');) {
                        const double f = noteFrequency(name);
                        if (f <= 0) return fail("not a note: " + name);
                        score.notes.push_back({in, t * beat, dur * beat, f, vel});
                    }
                }
            }
        } else {
            return fail("unknown command " + command);
        }
    }
    if (score.loop && score.lengthBeats <= 0) return fail("a loop needs a length");
    if (score.notes.empty()) return fail("no notes");
    return true;
}

bool renderScore(const Score& score, int rate, std::vector<int16_t>& pcm, std::string& error) {
    Render out;
    out.rate = rate;
    const int64_t length = std::llround(score.lengthBeats * 60.0 / score.tempo * rate);
    out.samples.assign(size_t(length) * 2, 0.0);
    uint32_t seed = 0x9E3779B9u;
    for (const Note& note : score.notes) {
        seed = seed * 1664525u + 1013904223u;
        renderNote(note, seed, out, score.loop ? length : 0);
    }
    if (score.echoSeconds > 0) {
        if (!score.loop) out.samples.resize(out.samples.size() + size_t(4 * score.echoSeconds * rate) * 2, 0.0);
        addEcho(out, score.echoSeconds, score.echoFeedback, score.loop);
    }
    const std::vector<double> samples = mixdown(out, score.channels);
    const double loudest = std::max(loudestOf(samples), 1e-12);
    double scale = score.peak / loudest;
    if (score.loudness != 0) {
        scale = std::pow(10.0, (score.loudness - integratedLoudness(samples, score.channels, rate)) / 20);
        if (loudest * scale > MAX_PEAK) {
            char why[120];
            std::snprintf(why, sizeof why, "%.1f LUFS would peak at %.1f dBFS, above %.1f", score.loudness,
                          20 * std::log10(loudest * scale), 20 * std::log10(MAX_PEAK));
            error = why;
            return false;
        }
    }
    pcm = toPcm16(samples, scale);
    return true;
}
