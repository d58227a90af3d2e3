#include "plugin/EchoMapControl.h"

#include "graphics/IGraphics.h"
#include "plugin/EchoMap.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace
{

// One colour per tap letter, from the accent orange of A to the teal of H,
// as the strips' letters are drawn.
IColorRGBA TapColour(int tap)
{
    const double t = tap / static_cast<double>(kNumTaps - 1);
    const auto mixChannel = [t](int a, int b) { return static_cast<int>(a + (b - a) * t + 0.5); };
    return IColorRGBA(255, mixChannel(242, 89), mixChannel(163, 204), mixChannel(66, 194));
}

constexpr int kPad = 6;
constexpr int kLabelHeight = 11;       // the tick labels under the axis
constexpr float kRepeatFloor = 0.004f; // repeats below -48 dB are not drawn
constexpr int kMaxRepeats = 12;
constexpr int kMaxTicks = 7;
constexpr int kSideBySide = 8; // pixels between marks that share a time
constexpr int kLetterHalf = 8; // a tap's letter reaches this far either side

// A round tick step for an axis of span ms: the smallest of 1, 2, 2.5 and 5
// times a power of ten that gives at most kMaxTicks steps.
float TickStep(float span)
{
    float decade = std::pow(10.0f, std::floor(std::log10(span / kMaxTicks)));
    for (;;)
    {
        for (float m : {1.0f, 2.0f, 2.5f, 5.0f})
        {
            if (span / (m * decade) <= kMaxTicks + 1e-3f)
            {
                return m * decade;
            }
        }
        decade *= 10.0f;
    }
}

} // namespace

float EchoMapControl::AxisEndMs(const EchoMapState& state, float* tickMs)
{
    // The tap that reaches furthest sets the axis; when its feedback makes
    // repeats, the axis leaves room for two and a half of their spacings.
    float reach = 0.0f;
    float room = 0.0f;
    for (const auto& tap : state.taps)
    {
        if (!tap.shown.load(std::memory_order_relaxed))
        {
            continue;
        }
        const float time = tap.timeMs.load(std::memory_order_relaxed);
        const float r = std::max(time + tap.depthMs.load(std::memory_order_relaxed),
                                 tap.readMs.load(std::memory_order_relaxed));
        if (r > reach)
        {
            reach = r;
            const float repeat = tap.gain.load(std::memory_order_relaxed) *
                                 std::fabs(tap.feedback.load(std::memory_order_relaxed));
            room = repeat >= kRepeatFloor ? 2.5f * time : 0.1f * r;
        }
    }
    if (!(reach > 0.0f))
    {
        return 0.0f;
    }
    const float end = reach + room;
    const float step = TickStep(end);
    if (tickMs)
    {
        *tickMs = step;
    }
    return std::ceil(end / step - 1e-4f) * step;
}

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
    const IBox inside(rect.left + 2, rect.top + 2, rect.right - 2, rect.bottom - 2);
    g->FillBox(IColorRGBA(255, 14, 15, 18), inside);
    // What still reaches past the box (the repeats of marks spread side by
    // side at the axis end) is cut at it, or the frame and the editor beside
    // it would keep it.
    const auto fill = [&](const IColorRGBA& colour, const IBox& box, const IDrawBlend* blend)
    {
        const IBox cut = box.Intersect(inside);
        if (!cut.Empty()) g->FillBox(colour, cut, blend);
    };
    const auto within = [&](int x, int margin)
    { return std::clamp(x, inside.left + margin, inside.right - 1 - margin); };
    const int left = rect.left + kPad;
    const int right = rect.right - kPad;
    const int bottom = rect.bottom - kPad - kLabelHeight;
    const int height = bottom - rect.top - kPad;
    const IColorRGBA axis(255, 70, 76, 86);
    letterStyle.color = IColorRGBA(255, 158, 166, 179);
    g->HLine(axis, bottom, left, right);
    g->VLine(axis, left, rect.top + kPad, bottom);

    float tickMs = 0.0f;
    const float axisEnd = AxisEndMs(state, &tickMs);
    if (!(axisEnd > 0.0f))
    {
        return true;
    }
    const float scale = (right - left) / axisEnd;
    auto xAt = [&](float ms)
    { return left + static_cast<int>(std::min(ms, axisEnd) * scale + 0.5f); };
    // Heights on a decibel scale: 0 dB fills the box, -48 dB is the floor.
    auto heightOf = [&](float gain)
    {
        const float db = gain > 0.0f ? 20.0f * std::log10(gain) : -96.0f;
        const float t = std::clamp((db + 48.0f) / 48.0f, 0.0f, 1.0f);
        return static_cast<int>(t * (height - 16)) + 2;
    };

    // Ticks with their times in milliseconds; a label is left out where the
    // one before would be too close.
    int lastLabelRight = rect.left;
    for (int k = 0; k * tickMs <= axisEnd + 1e-3f; ++k)
    {
        const float ms = k * tickMs;
        const int x = xAt(ms);
        g->VLine(axis, x, bottom - 3, bottom);
        char label[16];
        std::snprintf(label, sizeof(label), "%d", static_cast<int>(ms + 0.5f));
        const int half = static_cast<int>(std::strlen(label)) * 3 + 1;
        const int l = std::max(x - half, rect.left + 2);
        const int r = std::min(l + 2 * half, rect.right - 2);
        if (k == 0 || l >= lastLabelRight + 4)
        {
            g->DrawTextIn(labelStyle, label, IBox(r - 2 * half, bottom + 1, r, bottom + 11));
            lastLabelRight = r;
        }
    }

    // Taps whose first marks fall on the same pixels stand side by side,
    // each in its own tint.
    int offset[kNumTaps] = {};
    {
        int firstX[kNumTaps];
        bool placed[kNumTaps] = {};
        for (int t = 0; t < kNumTaps; ++t)
        {
            firstX[t] = xAt(state.taps[t].readMs.load(std::memory_order_relaxed));
        }
        for (int t = 0; t < kNumTaps; ++t)
        {
            if (placed[t] || !state.taps[t].shown.load(std::memory_order_relaxed))
            {
                continue;
            }
            int members[kNumTaps];
            int n = 0;
            for (int u = t; u < kNumTaps; ++u)
            {
                if (!placed[u] && state.taps[u].shown.load(std::memory_order_relaxed) &&
                    std::abs(firstX[u] - firstX[t]) < kSideBySide)
                {
                    members[n++] = u;
                    placed[u] = true;
                }
            }
            // A group at either end of the axis moves inwards, so that each
            // mark and its letter stay in the box.
            int lowest = inside.right, highest = inside.left;
            for (int i = 0; i < n; ++i)
            {
                offset[members[i]] = (2 * i - (n - 1)) * kSideBySide / 2;
                lowest = std::min(lowest, firstX[members[i]] + offset[members[i]]);
                highest = std::max(highest, firstX[members[i]] + offset[members[i]]);
            }
            const int shift = std::max(0, inside.left + kLetterHalf - lowest) -
                              std::max(0, highest - (inside.right - 1 - kLetterHalf));
            for (int i = 0; i < n; ++i)
            {
                offset[members[i]] += shift;
            }
        }
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
        const float x1 = static_cast<float>(
            within(xAt(from.readMs.load(std::memory_order_relaxed)) + offset[source], 0));
        const float y1 = static_cast<float>(bottom - heightOf(from.gain.load()));
        const float x2 = static_cast<float>(
            within(xAt(tap.readMs.load(std::memory_order_relaxed)) + offset[t], 0));
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
            fill(colour, IBox(x0, bottom - heightOf(gain), x1, bottom), &band);
        }
        // The mark and its repeats, each quieter by the feedback.
        float level = gain;
        for (int k = 1; k <= kMaxRepeats && level >= kRepeatFloor; ++k)
        {
            const float at = k == 1 ? read : read + (k - 1) * time;
            if (at > axisEnd)
            {
                break;
            }
            const int x = xAt(at) + offset[t];
            const int top = bottom - heightOf(level);
            const IDrawBlend fade(BlendCopyAlpha, k == 1 ? 1.0f : 0.45f);
            const int half = k == 1 ? 2 : 1;
            fill(colour, IBox(x - half, top, x + half + 1, bottom), &fade);
            if (k == 1)
            {
                const char letter[2] = {static_cast<char>('A' + t), 0};
                const int lx = within(x, kLetterHalf);
                g->DrawTextIn(letterStyle, letter,
                              IBox(lx - kLetterHalf, top - 13, lx + kLetterHalf + 1, top - 1));
            }
            level *= feedback;
        }
    }
    return true;
}
