#include "plugin/EchoMapControl.h"

#include "graphics/IGraphics.h"
#include "plugin/EchoMap.h"

#include <algorithm>
#include <cmath>

namespace
{

// One colour per tap letter, from the accent orange of A to the teal of H,
// as the strips' letters are drawn.
IColorRGBA TapColour(int tap)
{
    const double t = tap / (kNumTaps - 1.0);
    const auto mixChannel = [t](int a, int b) { return static_cast<int>(a + (b - a) * t + 0.5); };
    return IColorRGBA(255, mixChannel(242, 89), mixChannel(163, 204), mixChannel(66, 194));
}

constexpr int kPad = 6;
constexpr float kRepeatFloor = 0.004f; // repeats below -48 dB are not drawn
constexpr int kMaxRepeats = 12;

} // namespace

EchoMapControl::EchoMapControl(IPlugBase* plugIn, const IBox& box, const EchoMapState& map)
    : IControl(plugIn, box, -1), state(map)
{
}

bool EchoMapControl::HitTest(int, int)
{
    return false;
}

bool EchoMapControl::NeedsPaint()
{
    const unsigned v = state.version.load(std::memory_order_acquire);
    if (v != shownVersion)
    {
        shownVersion = v;
        dirty = true;
    }
    return dirty;
}

bool EchoMapControl::Paint(IGraphics* g)
{
    // The map redraws its box over the inset's own colour so that old marks
    // go; the rounded frame around it is the background's.
    g->FillBox(IColorRGBA(255, 14, 15, 18),
               IBox(rect.left + 2, rect.top + 2, rect.right - 2, rect.bottom - 2));
    const int left = rect.left + kPad;
    const int right = rect.right - kPad;
    const int bottom = rect.bottom - kPad;
    const int height = rect.H() - 2 * kPad;
    const IColorRGBA axis(255, 70, 76, 86);
    letterStyle.color = IColorRGBA(255, 158, 166, 179);
    g->HLine(axis, bottom, left, right);
    g->VLine(axis, left, rect.top + kPad, bottom);

    float longest = 0.0f;
    for (const auto& tap : state.taps)
    {
        if (tap.shown.load(std::memory_order_relaxed))
        {
            longest = std::max(longest, tap.timeMs.load(std::memory_order_relaxed) +
                                            tap.depthMs.load(std::memory_order_relaxed));
        }
    }
    if (!(longest > 0.0f))
    {
        return true;
    }
    const float scale = (right - left) / longest;
    auto xAt = [&](float ms) { return left + static_cast<int>(std::min(ms, longest) * scale); };
    // Heights on a decibel scale: 0 dB fills the box, -48 dB is the floor.
    auto heightOf = [&](float gain)
    {
        const float db = gain > 0.0f ? 20.0f * std::log10(gain) : -96.0f;
        const float t = std::clamp((db + 48.0f) / 48.0f, 0.0f, 1.0f);
        return static_cast<int>(t * (height - 16)) + 2;
    };

    // Ticks every 100 ms (every 500 ms on long axes).
    const float tickMs = longest > 1500.0f ? 500.0f : 100.0f;
    for (float ms = tickMs; ms < longest; ms += tickMs)
    {
        g->VLine(axis, xAt(ms), bottom - 3, bottom);
    }

    // Feedback routes first, under the marks: from the source tap's mark to
    // the mark of the tap it feeds.
    for (int t = 0; t < kNumTaps; ++t)
    {
        const auto& tap = state.taps[t];
        const int source = tap.source.load(std::memory_order_relaxed);
        if (!tap.shown.load(std::memory_order_relaxed) || source < 0 || source >= kNumTaps ||
            !state.taps[source].shown.load(std::memory_order_relaxed))
        {
            continue;
        }
        const auto& from = state.taps[source];
        const float x1 = static_cast<float>(xAt(from.readMs.load(std::memory_order_relaxed)));
        const float y1 = static_cast<float>(bottom - heightOf(from.gain.load()));
        const float x2 = static_cast<float>(xAt(tap.readMs.load(std::memory_order_relaxed)));
        const float y2 = static_cast<float>(bottom - heightOf(tap.gain.load()));
        const IDrawBlend soft(BlendCopyAlpha, 0.6f);
        g->StrokeLine(TapColour(source), x1, y1, x2, y2, &soft, true);
    }

    for (int t = 0; t < kNumTaps; ++t)
    {
        const auto& tap = state.taps[t];
        if (!tap.shown.load(std::memory_order_relaxed))
        {
            continue;
        }
        const IColorRGBA colour = TapColour(t);
        const float time = tap.timeMs.load(std::memory_order_relaxed);
        const float read = tap.readMs.load(std::memory_order_relaxed);
        const float depth = tap.depthMs.load(std::memory_order_relaxed);
        const float gain = tap.gain.load(std::memory_order_relaxed);
        const float feedback = std::min(std::fabs(tap.feedback.load()), 0.999f);

        // The LFO's reach around the set time.
        if (depth > 0.0f)
        {
            const IDrawBlend band(BlendCopyAlpha, 0.25f);
            const int x0 = xAt(std::max(0.0f, time - depth));
            const int x1 = std::max(xAt(time + depth), x0 + 1);
            g->FillBox(colour, IBox(x0, bottom - heightOf(gain), x1, bottom), &band);
        }
        // The mark and its repeats, each quieter by the feedback.
        float level = gain;
        for (int k = 1; k <= kMaxRepeats && level >= kRepeatFloor; ++k)
        {
            const float at = k == 1 ? read : read + (k - 1) * time;
            if (at > longest)
            {
                break;
            }
            const int x = xAt(at);
            const int top = bottom - heightOf(level);
            const IDrawBlend fade(BlendCopyAlpha, k == 1 ? 1.0f : 0.45f);
            const int half = k == 1 ? 2 : 1;
            g->FillBox(colour, IBox(x - half, top, x + half + 1, bottom), &fade);
            if (k == 1)
            {
                const char letter[2] = {static_cast<char>('A' + t), 0};
                g->DrawTextIn(letterStyle, letter, IBox(x - 8, top - 13, x + 9, top - 1));
            }
            level *= feedback;
        }
    }
    return true;
}
