#include "plugin/DelayReadout.h"

#include <cmath>
#include <cstdio>
#include <cstring>

namespace
{

using H = ParamChangeHandler;

// 20 * log10(g) as ln(g) * 20 / ln(10).
constexpr double kGainToDb = 8.685889638065037;

void CopyText(const char* text, char* out, int size)
{
    std::snprintf(out, static_cast<size_t>(size), "%s", text);
}

// printf-style formatting that always uses "." as the decimal point, so a
// host that switched the process locale does not change the texts.
template <typename... Args> void FormatNumber(char* out, int size, const char* format, Args... args)
{
    std::snprintf(out, static_cast<size_t>(size), format, args...);
    for (char* p = out; *p; ++p)
    {
        if (*p == ',')
        {
            *p = '.';
        }
    }
}

void FormatLevel(double v, char* out, int size)
{
    if (!(v > 0.0))
    {
        CopyText("-inf dB", out, size);
        return;
    }
    FormatNumber(out, size, "%.*lf dB", 1, std::log(v) * kGainToDb);
}

void FormatChoice(const char* const* choices, int count, double v, char* out, int size)
{
    CopyText(choices[ChoiceIndex(v, count)], out, size);
}

void FormatPan(double v, char* out, int size)
{
    if (v == 0.5)
    {
        CopyText("C", out, size);
    }
    else if (v < 0.5)
    {
        FormatNumber(out, size, "%.0lf%% L", (0.5 - v) * 2.0 * 100.0);
    }
    else
    {
        FormatNumber(out, size, "%.0lf%% R", (v - 0.5) * 2.0 * 100.0);
    }
}

} // namespace

int ChoiceIndex(double value, int count)
{
    if (!(value >= 1.0))
    {
        return 0;
    }
    if (value >= static_cast<double>(count - 1))
    {
        return count - 1;
    }
    return static_cast<int>(value);
}

bool FormatReadout(const ParamDef& row, double v, char* out, int size)
{
    if (size <= 0)
    {
        return false;
    }
    switch (row.handler)
    {
    case H::Wet:
    case H::Dry:
    case H::Level:
    case H::FbScale:
        FormatLevel(v, out, size);
        return true;
    case H::In:
        FormatChoice(kInChoices, 6, v, out, size);
        return true;
    case H::Rx:
        FormatChoice(kRxChoices, 9, v, out, size);
        return true;
    case H::Mode:
        FormatChoice(kModeChoices, 2, v, out, size);
        return true;
    case H::Bpm:
        FormatChoice(kNoteChoices, kNumNoteValues, v, out, size);
        return true;
    case H::Shape:
        FormatChoice(kShapeChoices, 5, v, out, size);
        return true;
    case H::Phase:
        FormatChoice(kPhaseChoices, 2, v, out, size);
        return true;
    case H::Time:
        FormatNumber(out, size, "%.*lf ms", 1, v);
        return true;
    case H::Fb:
    case H::Gain:
        FormatNumber(out, size, "%.*lf dB", 1, v);
        return true;
    case H::Lpf:
    case H::Hpf:
        FormatNumber(out, size, "%.*lf hz", 1, v);
        return true;
    case H::Pct:
    case H::SclDly:
    case H::SclFbk:
    case H::SclRate:
    case H::SclDpth:
        FormatNumber(out, size, "%.*lf %%", 1, v * 100.0);
        return true;
    case H::Rate:
        FormatNumber(out, size, "%.*lf hz", 2, v);
        return true;
    case H::Depth:
        FormatNumber(out, size, "%.*lf ms", 2, v);
        return true;
    case H::Pan:
        FormatPan(v, out, size);
        return true;
    case H::Mains:
        CopyText(v > 0.5 ? "enabled" : "disabled", out, size);
        return true;
    case H::SclRst:
        if (v > 0.5)
        {
            CopyText("reset", out, size);
            return true;
        }
        return false;
    default:
        return false;
    }
}
