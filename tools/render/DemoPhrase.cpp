#include "tools/render/DemoPhrase.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

namespace zelbor::render
{
namespace
{

constexpr double kPi = 3.14159265358979323846;

// xorshift32: the same noise on every machine and every run.
class Noise
{
public:
    explicit Noise(uint32_t seed) : mState(seed ? seed : 0x9E3779B9u) {}
    float Next()
    {
        mState ^= mState << 13;
        mState ^= mState >> 17;
        mState ^= mState << 5;
        return float(double(mState) / 2147483648.0 - 1.0);
    }

private:
    uint32_t mState;
};

enum class Voice
{
    Pluck,
    Kick,
    Snare,
    Hat
};

struct Event
{
    double sixteenth; // position in sixteenth notes from the start
    Voice voice;
    int midiNote;
    float velocity;
    float pan; // 0 left .. 1 right
};

// Four bars of A minor: a rising figure answered by a falling one, a bar
// that repeats the first with a variation, and a last bar with one note.
const Event kEvents[] = {
    // bar 1
    {0, Voice::Kick, 0, 0.9f, 0.5f},
    {0, Voice::Pluck, 57, 0.9f, 0.35f},
    {3, Voice::Pluck, 60, 0.7f, 0.65f},
    {4, Voice::Snare, 0, 0.6f, 0.55f},
    {6, Voice::Pluck, 64, 0.75f, 0.4f},
    {8, Voice::Kick, 0, 0.8f, 0.5f},
    {10, Voice::Hat, 0, 0.5f, 0.7f},
    {10, Voice::Pluck, 69, 0.8f, 0.6f},
    {12, Voice::Snare, 0, 0.6f, 0.55f},
    // bar 2
    {16, Voice::Kick, 0, 0.9f, 0.5f},
    {16, Voice::Pluck, 67, 0.85f, 0.6f},
    {19, Voice::Pluck, 64, 0.7f, 0.4f},
    {20, Voice::Snare, 0, 0.6f, 0.55f},
    {22, Voice::Pluck, 62, 0.7f, 0.6f},
    {24, Voice::Kick, 0, 0.8f, 0.5f},
    {26, Voice::Hat, 0, 0.5f, 0.7f},
    {28, Voice::Snare, 0, 0.6f, 0.55f},
    {28, Voice::Pluck, 60, 0.75f, 0.35f},
    // bar 3
    {32, Voice::Kick, 0, 0.9f, 0.5f},
    {32, Voice::Pluck, 57, 0.9f, 0.35f},
    {35, Voice::Pluck, 60, 0.7f, 0.65f},
    {36, Voice::Snare, 0, 0.6f, 0.55f},
    {38, Voice::Pluck, 64, 0.75f, 0.4f},
    {40, Voice::Kick, 0, 0.8f, 0.5f},
    {42, Voice::Pluck, 72, 0.8f, 0.6f},
    {42, Voice::Hat, 0, 0.5f, 0.7f},
    {44, Voice::Snare, 0, 0.6f, 0.55f},
    // bar 4: one note, then room for the echoes
    {48, Voice::Kick, 0, 0.9f, 0.5f},
    {48, Voice::Pluck, 57, 0.95f, 0.5f},
};

constexpr double kBars = 4.0;

double MidiToHz(int note)
{
    return 440.0 * std::pow(2.0, (note - 69) / 12.0);
}

// Karplus-Strong string: a delay line one period long filled with a filtered
// noise burst, recirculated through a two-point average and a fractional
// delay allpass for exact tuning.
// The string is damped (as by a lifted finger) after gate seconds, so the
// notes stay short and leave room to hear the echoes.
std::vector<float> Pluck(double rate, double hz, float velocity, double gate, Noise& noise)
{
    constexpr double kDamp = 0.04; // time constant of the damping after the gate
    const std::size_t total = std::size_t((gate + 5.0 * kDamp) * rate);
    const std::size_t gateEnd = std::size_t(gate * rate);
    std::vector<float> out(total, 0.0f);
    const double period = rate / hz - 0.5; // the average adds half a sample
    const std::size_t n = std::max<std::size_t>(2, std::size_t(period));
    const double frac = period - double(n);
    const double apCoef = (1.0 - frac) / (1.0 + frac);
    std::vector<double> line(n, 0.0);
    // Softer attack for quieter notes: a one-pole low-pass on the burst.
    const double bright = 0.35 + 0.6 * velocity;
    double lp = 0.0;
    for (double& s : line)
    {
        lp += bright * (noise.Next() - lp);
        s = lp;
    }
    double mean = 0.0;
    for (double s : line)
    {
        mean += s;
    }
    mean /= double(n);
    for (double& s : line)
    {
        s -= mean; // no DC in the string
    }
    const double decay = 0.9965;
    std::size_t pos = 0;
    double prev = 0.0;
    double apIn = 0.0;
    double apOut = 0.0;
    for (std::size_t i = 0; i < total; ++i)
    {
        const double cur = line[pos];
        const double avg = 0.5 * (cur + prev) * decay;
        prev = cur;
        const double y = apCoef * (avg - apOut) + apIn;
        apIn = avg;
        apOut = y;
        line[pos] = y;
        pos = pos + 1 == n ? 0 : pos + 1;
        double env = 1.0;
        if (i > gateEnd)
        {
            env = std::exp(-double(i - gateEnd) / (kDamp * rate));
        }
        out[i] = float(cur * velocity * env);
    }
    return out;
}

std::vector<float> Kick(double rate, float velocity)
{
    const std::size_t total = std::size_t(0.35 * rate);
    std::vector<float> out(total);
    double phase = 0.0;
    for (std::size_t i = 0; i < total; ++i)
    {
        const double t = double(i) / rate;
        const double hz = 48.0 + 110.0 * std::exp(-t / 0.035);
        phase += 2.0 * kPi * hz / rate;
        const double attack = std::min(1.0, t / 0.002);
        out[i] = float(velocity * attack * std::exp(-t / 0.09) * std::sin(phase));
    }
    return out;
}

std::vector<float> Snare(double rate, float velocity, Noise& noise)
{
    const std::size_t total = std::size_t(0.3 * rate);
    std::vector<float> out(total);
    double phase = 0.0;
    double hp = 0.0;
    double prevNoise = 0.0;
    for (std::size_t i = 0; i < total; ++i)
    {
        const double t = double(i) / rate;
        phase += 2.0 * kPi * 185.0 / rate;
        const double n = noise.Next();
        hp = 0.7 * (hp + n - prevNoise); // gentle high-pass on the rattle
        prevNoise = n;
        const double body = std::sin(phase) * std::exp(-t / 0.05);
        const double rattle = hp * std::exp(-t / 0.09);
        out[i] = float(velocity * 0.6 * (0.6 * body + 0.7 * rattle));
    }
    return out;
}

std::vector<float> Hat(double rate, float velocity, Noise& noise)
{
    const std::size_t total = std::size_t(0.12 * rate);
    std::vector<float> out(total);
    double prev = 0.0;
    for (std::size_t i = 0; i < total; ++i)
    {
        const double t = double(i) / rate;
        const double n = noise.Next();
        const double hp = n - prev; // first difference: only the highs
        prev = n;
        out[i] = float(velocity * 0.35 * hp * std::exp(-t / 0.025));
    }
    return out;
}

void MixIn(AudioBuffer& mix, const std::vector<float>& sound, std::size_t at, float pan)
{
    const double angle = double(pan) * kPi * 0.5;
    const float gl = float(std::cos(angle));
    const float gr = float(std::sin(angle));
    for (std::size_t i = 0; i < sound.size() && at + i < mix.Frames(); ++i)
    {
        mix.left[at + i] += sound[i] * gl;
        mix.right[at + i] += sound[i] * gr;
    }
}

} // namespace

AudioBuffer SynthesiseDemoPhrase(double sampleRate, double tempo)
{
    AudioBuffer mix;
    mix.sampleRate = sampleRate;
    const double sixteenth = 60.0 / tempo / 4.0;
    mix.Resize(std::size_t(kBars * 16.0 * sixteenth * sampleRate));
    Noise noise(20240607u);
    const std::size_t n = sizeof kEvents / sizeof kEvents[0];
    for (std::size_t e = 0; e < n; ++e)
    {
        const Event& ev = kEvents[e];
        const std::size_t at = std::size_t(ev.sixteenth * sixteenth * sampleRate);
        // A note is held for at most an eighth, and never into the next one.
        double gate = 2.0 * sixteenth;
        if (ev.voice == Voice::Pluck)
        {
            for (std::size_t f = e + 1; f < n; ++f)
            {
                if (kEvents[f].voice == Voice::Pluck && kEvents[f].sixteenth > ev.sixteenth)
                {
                    gate = std::min(gate, (kEvents[f].sixteenth - ev.sixteenth) * sixteenth);
                    break;
                }
            }
        }
        switch (ev.voice)
        {
        case Voice::Pluck:
            MixIn(mix, Pluck(sampleRate, MidiToHz(ev.midiNote), ev.velocity, gate, noise), at,
                  ev.pan);
            break;
        case Voice::Kick:
            MixIn(mix, Kick(sampleRate, ev.velocity), at, ev.pan);
            break;
        case Voice::Snare:
            MixIn(mix, Snare(sampleRate, ev.velocity, noise), at, ev.pan);
            break;
        case Voice::Hat:
            MixIn(mix, Hat(sampleRate, ev.velocity, noise), at, ev.pan);
            break;
        }
    }
    // Peak at -3 dBFS.
    float peak = 0.0f;
    for (std::size_t i = 0; i < mix.Frames(); ++i)
    {
        peak = std::max({peak, std::fabs(mix.left[i]), std::fabs(mix.right[i])});
    }
    if (peak > 0.0f)
    {
        const float gain = 0.7079458f / peak;
        for (std::size_t i = 0; i < mix.Frames(); ++i)
        {
            mix.left[i] *= gain;
            mix.right[i] *= gain;
        }
    }
    return mix;
}

AudioBuffer MakeNoise(double sampleRate, double seconds, float amplitude, unsigned seed)
{
    AudioBuffer out;
    out.sampleRate = sampleRate;
    out.Resize(std::size_t(seconds * sampleRate));
    Noise noise(seed);
    for (std::size_t i = 0; i < out.Frames(); ++i)
    {
        out.left[i] = amplitude * noise.Next();
        out.right[i] = amplitude * noise.Next();
    }
    return out;
}

} // namespace zelbor::render
