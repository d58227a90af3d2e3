// The echo map as a user reads it: where its marks stand on the time axis.

#include "plugin/EchoMap.h"

#include "graphics/headless/IGraphicsHeadless.h"
#include "plugin/EchoMapControl.h"
#include "raster/LICE_SysBitmap.h"
#include "raster/Raster.h"
#include "support/TestPlug.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <vector>

namespace
{

// The map alone, 376 x 178 as in the editor, at the editor's origin: its
// axis runs from x = 6 to x = 370 with its line at y = 161.
struct Map
{
    static constexpr int kLeft = 6;
    static constexpr int kWidth = 364;
    static constexpr int kAxisY = 161;

    TestPlug plug;
    EchoMapState state;
    IGraphicsHeadless* g = new IGraphicsHeadless(&plug, 376, 178);

    Map()
    {
        g->AddControl(new EchoMapControl(&plug, IBox(0, 0, 376, 178), state));
        plug.AttachEditor(g);
    }
    void Show(int tap, float timeMs, float readMs, float feedback, float depthMs = 0.0f)
    {
        EchoMapState::Tap& t = state.taps[tap];
        t.shown = true;
        t.timeMs = timeMs;
        t.readMs = readMs;
        t.gain = 1.0f;
        t.feedback = feedback;
        t.depthMs = depthMs;
        state.version++;
    }
    // Centres of the runs of tap-coloured pixels (strong red) just above
    // the axis, left to right.
    std::vector<int> MarkColumns()
    {
        g->PaintAll();
        std::vector<int> centres;
        int start = -1;
        for (int x = 0; x <= 376; ++x)
        {
            const bool mark =
                x < 376 && ((RasterGetPixel(g->BackBuffer(), x, kAxisY - 1) >> 16) & 0xFF) > 100;
            if (mark && start < 0) start = x;
            if (!mark && start >= 0)
            {
                centres.push_back((start + x - 1) / 2);
                start = -1;
            }
        }
        return centres;
    }
    static int Column(double ms, double axisMs) { return kLeft + int(ms * kWidth / axisMs + 0.5); }
};

TEST(EchoMap, MarksAndRepeatsStandAtTheirTimes)
{
    // 400 ms with -6 dB feedback: repeats at 800 and 1200 ms, the axis
    // round at 1400 ms (room for two and a half spacings).
    Map m;
    m.Show(0, 400.0f, 400.0f, 0.5f);
    EXPECT_FLOAT_EQ(1400.0f, EchoMapControl::AxisEndMs(m.state));
    EXPECT_EQ(
        (std::vector<int>{Map::Column(400, 1400), Map::Column(800, 1400), Map::Column(1200, 1400)}),
        m.MarkColumns());

    // The LFO has moved the read head to 450 ms: the first mark follows it,
    // each repeat comes one set time after the one before. The band of a
    // 50 ms depth reaches to 450 ms; the axis rounds to 1500 ms.
    Map lfo;
    lfo.Show(0, 400.0f, 450.0f, 0.5f, 50.0f);
    EXPECT_FLOAT_EQ(1500.0f, EchoMapControl::AxisEndMs(lfo.state));
    EXPECT_EQ(
        (std::vector<int>{Map::Column(450, 1500), Map::Column(850, 1500), Map::Column(1250, 1500)}),
        lfo.MarkColumns());
}

TEST(EchoMap, TapsAtTheSameTimeStandSideBySide)
{
    // The defaults: A and B at 500 ms with -3 dB feedback. Both show, and so
    // do their repeats at 1000 and 1500 ms on an axis of 1750 ms.
    Map m;
    m.Show(0, 500.0f, 500.0f, 0.708f);
    m.Show(1, 500.0f, 500.0f, 0.708f);
    EXPECT_FLOAT_EQ(1750.0f, EchoMapControl::AxisEndMs(m.state));
    const std::vector<int> marks = m.MarkColumns();
    ASSERT_EQ(6u, marks.size());
    for (int k = 0; k < 3; ++k)
    {
        const int at = Map::Column(500.0 * (k + 1), 1750);
        EXPECT_EQ(at - 4, marks[2 * k]) << k;
        EXPECT_EQ(at + 4, marks[2 * k + 1]) << k;
    }
}

TEST(EchoMap, MarksStayInsideTheMapsBox)
{
    // Four taps at one time stand side by side, 12 pixels either way of it:
    // at the axis start and, for their repeats, at its end. The two-pixel
    // frame around the box is the background's and must stay as it was.
    Map m;
    for (int t = 0; t < 4; ++t)
        m.Show(t, 1.0f, 1.0f, 0.0f);
    for (int t = 4; t < 8; ++t)
        m.Show(t, 500.0f, 500.0f, 0.708f);
    const uint32_t marker = 0xFF102030u;
    RasterFillRect(m.g->BackBuffer(), 0, 0, 376, 178, marker, 1.0f, RasterModeCopy);
    m.g->PaintAll();
    int changed = 0;
    for (int y = 0; y < 178; ++y)
        for (int x = 0; x < 376; ++x)
        {
            const bool frame = x < 2 || x >= 374 || y < 2 || y >= 176;
            changed += frame && RasterGetPixel(m.g->BackBuffer(), x, y) != marker;
        }
    EXPECT_EQ(0, changed);
    // The group at the start moved inwards: all four marks show.
    const std::vector<int> marks = m.MarkColumns();
    EXPECT_EQ(4, std::count_if(marks.begin(), marks.end(), [](int x) { return x < 60; }));
}

} // namespace
