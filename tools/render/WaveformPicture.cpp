#include "tools/render/WaveformPicture.h"

#include "tools/render/TextNumbers.h"

#include <algorithm>
#include <cmath>

namespace zelbor::render
{
namespace
{

const Rgb kBackground{246, 246, 243};
const Rgb kLane{255, 255, 255};
const Rgb kFrame{190, 190, 186};
const Rgb kGrid{225, 225, 220};
const Rgb kInk{45, 45, 45};
const Rgb kDry{70, 70, 70};
const Rgb kWet{38, 112, 204};
const Rgb kEcho{232, 118, 16};

constexpr double kRangeDb = 48.0;

double Fraction(float sample)
{
    const double a = std::fabs(double(sample));
    if (a <= 1e-9)
    {
        return 0.0;
    }
    return std::clamp((20.0 * std::log10(a) + kRangeDb) / kRangeDb, 0.0, 1.0);
}

// Peak of one channel over the samples that fall into column x.
double ColumnPeak(const std::vector<float>& samples, double sampleRate, double secondsPerColumn,
                  int column)
{
    const double t0 = column * secondsPerColumn;
    const std::size_t i0 = std::size_t(t0 * sampleRate);
    const std::size_t i1 = std::max(i0 + 1, std::size_t((t0 + secondsPerColumn) * sampleRate));
    float peak = 0.0f;
    for (std::size_t i = i0; i < i1 && i < samples.size(); ++i)
    {
        peak = std::max(peak, std::fabs(samples[i]));
    }
    return Fraction(peak);
}

double TickStep(double seconds)
{
    for (double step : {0.1, 0.25, 0.5, 1.0, 2.0, 5.0, 10.0, 30.0, 60.0})
    {
        if (seconds / step <= 16.0)
        {
            return step;
        }
    }
    return 120.0;
}

} // namespace

double FirstOnsetSeconds(const AudioBuffer& audio)
{
    float peak = 0.0f;
    for (std::size_t i = 0; i < audio.Frames(); ++i)
    {
        peak = std::max({peak, std::fabs(audio.left[i]), std::fabs(audio.right[i])});
    }
    const float threshold = peak * 0.1f;
    for (std::size_t i = 0; i < audio.Frames(); ++i)
    {
        if (peak > 0.0f &&
            (std::fabs(audio.left[i]) >= threshold || std::fabs(audio.right[i]) >= threshold))
        {
            return double(i) / audio.sampleRate;
        }
    }
    return 0.0;
}

Canvas DrawWaveform(const PictureContent& content, int width, int height)
{
    Canvas c(width, height, kBackground);
    const int left = 34;
    const int right = width - 14;
    const int titleTop = 10;
    const int markTop = 36;
    const int lanesTop = 58;
    const int lanesBottom = height - 56;
    const int laneGap = 14;
    const int laneHeight = (lanesBottom - lanesTop - laneGap) / 2;
    const int plotWidth = right - left;

    c.Text(left, titleTop, content.title, kInk, 2);
    c.Text(left + Canvas::TextWidth(content.title, 2) + 16, titleTop + 7, content.subtitle, kInk,
           1);

    double seconds = 0.0;
    if (content.dry)
    {
        seconds = std::max(seconds, content.dry->Seconds());
    }
    if (content.wet)
    {
        seconds = std::max(seconds, content.wet->Seconds());
    }
    if (seconds <= 0.0)
    {
        seconds = 1.0;
    }
    const double secondsPerColumn = seconds / plotWidth;
    auto xOf = [&](double t) { return left + int(std::lround(t / secondsPerColumn)); };

    // Lanes with the -20 and -40 dB lines.
    const char* laneNames[2] = {"L", "R"};
    for (int lane = 0; lane < 2; ++lane)
    {
        const int top = lanesTop + lane * (laneHeight + laneGap);
        const int mid = top + laneHeight / 2;
        c.FillRect(left, top, right, top + laneHeight, kLane);
        for (double db : {-12.0, -24.0, -36.0})
        {
            const int h = int((kRangeDb + db) / kRangeDb * (laneHeight / 2));
            c.HLine(left, right, mid - h, kGrid);
            c.HLine(left, right, mid + h, kGrid);
        }
        c.HLine(left, right, mid, kGrid);
        c.HLine(left, right, top, kFrame);
        c.HLine(left, right, top + laneHeight, kFrame);
        c.VLine(left, top, top + laneHeight, kFrame);
        c.VLine(right, top, top + laneHeight, kFrame);
        c.Text(left - 20, mid - 3, laneNames[lane], kInk);
        if (lane == 0)
        {
            c.Text(right - Canvas::TextWidth("-24 DB", 1) - 4,
                   mid - int((kRangeDb - 24.0) / kRangeDb * (laneHeight / 2)) + 2, "-24 DB",
                   kFrame);
        }
    }

    // Wet under dry: blue where the effect adds sound, grey where both play.
    for (int layer = 0; layer < 2; ++layer)
    {
        const AudioBuffer* audio = layer == 0 ? content.wet : content.dry;
        if (!audio)
        {
            continue;
        }
        const Rgb color = layer == 0 ? kWet : kDry;
        const double alpha = layer == 0 ? 0.95 : 0.6;
        for (int lane = 0; lane < 2; ++lane)
        {
            const std::vector<float>& samples = lane == 0 ? audio->left : audio->right;
            const int top = lanesTop + lane * (laneHeight + laneGap);
            const int mid = top + laneHeight / 2;
            for (int x = 0; x < plotWidth; ++x)
            {
                const double f = ColumnPeak(samples, audio->sampleRate, secondsPerColumn, x);
                const int h = int(std::lround(f * (laneHeight / 2 - 1)));
                if (h > 0)
                {
                    c.VLine(left + x, mid - h, mid + h, color, alpha);
                }
            }
        }
    }

    // Echo times, counted from the first onset.
    double strongest = -1e9;
    for (const EchoMark& e : content.echoes)
    {
        strongest = std::max(strongest, e.levelDb);
    }
    int lastLabelEnd[2] = {-1000, -1000}; // two rows of labels
    for (const EchoMark& e : content.echoes)
    {
        const double t = content.onsetSeconds + e.seconds;
        if (t > seconds)
        {
            continue;
        }
        const int x = xOf(t);
        const double alpha = std::clamp(1.0 + (e.levelDb - strongest) / 40.0, 0.3, 1.0);
        c.VLine(x, lanesTop, lanesBottom, kEcho, alpha, 4);
        const std::string label = FormatNumber(e.seconds * 1000.0, 0);
        const int w = Canvas::TextWidth(label);
        const int lx = std::clamp(x - w / 2, left, right - w);
        for (int row = 0; row < 2; ++row)
        {
            if (lx > lastLabelEnd[row] + 4)
            {
                c.Text(lx, markTop + row * 10, label, kEcho);
                lastLabelEnd[row] = lx + w;
                break;
            }
        }
    }
    if (!content.echoes.empty())
    {
        const int x = xOf(content.onsetSeconds);
        c.VLine(x, lanesTop - 4, lanesBottom, kInk, 0.8, 2);
    }

    // Time axis.
    const double step = TickStep(seconds);
    const int axisY = lanesBottom + 4;
    for (int k = 0; k * step <= seconds + 1e-9; ++k)
    {
        const int x = xOf(k * step);
        c.VLine(x, axisY, axisY + 4, kInk);
        const std::string label =
            FormatNumber(k * step, step < 1.0 ? (step < 0.5 ? 2 : 1) : 0) + "S";
        const int w = Canvas::TextWidth(label);
        c.Text(std::clamp(x - w / 2, 0, width - w), axisY + 8, label, kInk);
    }

    // Legend.
    const int legendY = height - 18;
    int lx = left;
    auto swatch = [&](Rgb color, double alpha, const std::string& text)
    {
        c.FillRect(lx, legendY, lx + 12, legendY + 7, color, alpha);
        c.Text(lx + 18, legendY, text, kInk);
        lx += 18 + Canvas::TextWidth(text) + 24;
    };
    swatch(kDry, 0.6, "DRY");
    if (content.wet)
    {
        swatch(kWet, 0.95, "WET");
    }
    if (!content.echoes.empty())
    {
        swatch(kEcho, 1.0, "ECHO TIMES IN MS FROM THE FIRST ONSET");
    }
    c.Text(right - Canvas::TextWidth("LEVEL: 48 DB SCALE"), legendY, "LEVEL: 48 DB SCALE", kInk);
    return c;
}

} // namespace zelbor::render
