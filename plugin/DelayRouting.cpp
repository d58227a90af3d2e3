#include "plugin/DelayRouting.h"

namespace
{

struct RoutingPass
{
    const RoutingInput& in;
    RoutingResult& out;

    int LineLevel(int r)
    {
        if (out.lineLevel[r] != -1)
        {
            return out.lineLevel[r];
        }
        int level = kUnreachable;
        if (in.inputPort[r] != 0)
        {
            level = 0;
        }
        else if (out.lineSourceRef[r] != kNoTap)
        {
            level = TapLevel(out.lineSourceRef[r]) + 1;
        }
        out.lineLevel[r] = level;
        return level;
    }

    // A tap's level is the level of the line it reads. The tap is marked
    // unreachable before its line is asked, so a loop ends in a negative
    // level instead of recursing for ever.
    int TapLevel(int t)
    {
        if (out.tapLevel[t] != -1)
        {
            return out.tapLevel[t];
        }
        out.tapLevel[t] = kUnreachable;
        out.tapLevel[t] = LineLevel(t);
        return out.tapLevel[t];
    }

    int LineOutputDistance(int r)
    {
        if (out.lineOutputDistance[r] != -1)
        {
            return out.lineOutputDistance[r];
        }
        out.lineOutputDistance[r] = kUnreachable;
        const int d = TapOutputDistance(r);
        out.lineOutputDistance[r] = d >= 0 ? d + 1 : kUnreachable;
        return out.lineOutputDistance[r];
    }

    int TapOutputDistance(int t)
    {
        if (in.mains[t])
        {
            out.tapOutputDistance[t] = 0;
            return 0;
        }
        int best = kUnreachable;
        for (int k = 0; k < out.tapFedCount[t]; ++k)
        {
            const int d = LineOutputDistance(out.tapFedLines[t][k]);
            if (d >= 0 && (best < 0 || d + 1 < best))
            {
                best = d + 1;
            }
        }
        out.tapOutputDistance[t] = best;
        return best;
    }
};

bool ValidTap(int t)
{
    return t >= 0 && t < kNumTaps;
}

} // namespace

void ComputeRouting(const RoutingInput& in, RoutingResult& out)
{
    for (int i = 0; i < kNumTaps; ++i)
    {
        out.lineLevel[i] = -1;
        out.lineOutputDistance[i] = -1;
        out.lineFed[i] = false;
        out.lineReachesOutput[i] = false;
        out.lineSourceRef[i] = kNoTap;
        out.tapFedCount[i] = 0;
        out.tapLevel[i] = -1;
        out.tapOutputDistance[i] = -1;
        out.tapActive[i] = in.mains[i];
    }
    out.orderCount = 0;

    for (int r = 0; r < kNumTaps; ++r)
    {
        const int t = in.sourceTap[r];
        if (!ValidTap(t))
        {
            continue;
        }
        out.lineSourceRef[r] = t;
        if (t != r) // a tap never feeds the line it reads
        {
            out.tapFedLines[t][out.tapFedCount[t]++] = r;
            out.tapActive[t] = true;
        }
    }

    RoutingPass pass{in, out};
    for (int r = 0; r < kNumTaps; ++r)
    {
        out.lineFed[r] = pass.LineLevel(r) >= 0;
        out.lineReachesOutput[r] = pass.LineOutputDistance(r) >= 0;
    }

    for (int r = 0; r < kNumTaps; ++r)
    {
        if (out.lineFed[r] && out.lineReachesOutput[r])
        {
            out.order[out.orderCount++] = r;
        }
    }

    // Stable bubble sort by level: swap only when the later entry is strictly
    // lower, stop after a pass without swaps.
    bool swapped = true;
    while (swapped)
    {
        swapped = false;
        for (int k = 0; k + 1 < out.orderCount; ++k)
        {
            if (out.lineLevel[out.order[k + 1]] < out.lineLevel[out.order[k]])
            {
                const int tmp = out.order[k];
                out.order[k] = out.order[k + 1];
                out.order[k + 1] = tmp;
                swapped = true;
            }
        }
    }
}

bool SourceClosesLoop(const int appliedSource[kNumTaps], int line, int requested)
{
    if (!ValidTap(line) || !ValidTap(requested))
    {
        return false;
    }
    // Downstream: the line's own tap, every line fed by a reached tap, and
    // the taps reading those lines (tap i reads line i).
    bool reached[kNumTaps] = {};
    reached[line] = true;
    bool grew = true;
    while (grew)
    {
        grew = false;
        for (int r = 0; r < kNumTaps; ++r)
        {
            const int s = appliedSource[r];
            if (!reached[r] && ValidTap(s) && s != r && reached[s])
            {
                reached[r] = true;
                grew = true;
            }
        }
    }
    return reached[requested];
}

bool SourceChangeAllowed(const int appliedSource[kNumTaps], int line, int requested)
{
    if (!ValidTap(line))
    {
        return false;
    }
    if (!ValidTap(requested))
    {
        return true; // no source is always allowed
    }
    if (SourceClosesLoop(appliedSource, line, requested))
    {
        return false;
    }
    // Upstream: the current source tap, the line it reads, that line's
    // source, and so on.
    int r = line;
    for (int steps = 0; steps < kNumTaps; ++steps)
    {
        const int s = appliedSource[r];
        if (!ValidTap(s) || s == r)
        {
            break;
        }
        if (s == requested)
        {
            return false;
        }
        r = s;
    }
    return true;
}
