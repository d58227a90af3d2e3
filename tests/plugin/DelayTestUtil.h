#pragma once

#include "plugin/Delay.h"
#include "plugin/DelayKernel.h"

#include <cmath>
#include <memory>
#include <vector>

// The effect with a host that reports a chosen tempo, time signature and
// sample position.
class TestDelay : public Delay
{
public:
    TestDelay() : Delay(nullptr) {}

    HostBlockTime HostTimeForBlock() override
    {
        return HostBlockTime{tempo, numerator, denominator, position};
    }

    double tempo = 0.0;
    int position = 0;
    int numerator = 0;
    int denominator = 0;
};

// Sets a parameter's plain value and runs its handler, as a preset load does.
// The eight-lane group kernel built for any processor (PortableLaneOcto.cpp).
extern const GroupKernel kPortableOctoKernel;

inline void SetParam(Delay& d, int idx, double value)
{
    d.GetParam(idx)->SetValue(value);
    d.ParamChanged(idx);
}

// Stereo signal buffers with the pointer arrays ProcessBlock takes.
struct Stereo
{
    std::vector<double> l, r;
    explicit Stereo(size_t n = 0) : l(n, 0.0), r(n, 0.0) {}
    size_t size() const { return l.size(); }
};

// Runs a whole signal through the effect in blocks of block frames.
inline Stereo Process(Delay& d, const Stereo& in, int block = 512)
{
    Stereo out(in.size());
    size_t pos = 0;
    while (pos < in.size())
    {
        const int n = static_cast<int>(std::min<size_t>(block, in.size() - pos));
        double* ins[2] = {const_cast<double*>(in.l.data() + pos),
                          const_cast<double*>(in.r.data() + pos)};
        double* outs[2] = {out.l.data() + pos, out.r.data() + pos};
        d.ProcessBlock(ins, outs, n);
        pos += static_cast<size_t>(n);
    }
    return out;
}

inline void RunSilence(Delay& d, double seconds, double rate = 44100.0)
{
    Process(d, Stereo(static_cast<size_t>(seconds * rate)));
}

// Turns the LFOs off so that read distances stay put.
inline void NoModulation(Delay& d)
{
    for (int t = 0; t < kNumTaps; ++t)
    {
        SetParam(d, kBaseDepth + t, 0.0);
    }
}

// Peak absolute value of a channel over [from, to).
inline double Peak(const std::vector<double>& x, size_t from, size_t to)
{
    double p = 0.0;
    for (size_t i = from; i < to && i < x.size(); ++i)
    {
        p = std::max(p, std::fabs(x[i]));
    }
    return p;
}

// Root mean square of a channel over [from, to).
inline double Rms(const std::vector<double>& x, size_t from, size_t to)
{
    double s = 0.0;
    size_t n = 0;
    for (size_t i = from; i < to && i < x.size(); ++i, ++n)
    {
        s += x[i] * x[i];
    }
    return n ? std::sqrt(s / static_cast<double>(n)) : 0.0;
}

inline std::vector<double> Tone(size_t n, double hz, double amp = 0.5, double rate = 44100.0)
{
    std::vector<double> x(n);
    for (size_t i = 0; i < n; ++i)
    {
        x[i] = amp * std::sin(2.0 * 3.141592653589793 * hz * static_cast<double>(i) / rate);
    }
    return x;
}
