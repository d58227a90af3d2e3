#include "ToolTestFiles.h"
#include "tests/support/ScratchDir.h"
#include "tools/render/DemoPhrase.h"
#include "tools/render/WaveformPicture.h"

#include <algorithm>
#include <cmath>
#include <gtest/gtest.h>

using namespace zelbor::render;

namespace
{

bool IsEchoMark(Rgb p)
{
    return p.r > 200 && p.g > 90 && p.g < 170 && p.b < 100;
}

} // namespace

TEST(DemoPhrase, FourBarsAtTheTempoTheSameEveryTime)
{
    const AudioBuffer a = SynthesiseDemoPhrase(44100.0, 120.0);
    const AudioBuffer b = SynthesiseDemoPhrase(44100.0, 120.0);
    EXPECT_EQ(a.Frames(), std::size_t(8 * 44100));
    EXPECT_EQ(a.left, b.left);
    EXPECT_EQ(a.right, b.right);
    float peak = 0.0f;
    double left = 0.0;
    double right = 0.0;
    for (std::size_t i = 0; i < a.Frames(); ++i)
    {
        peak = std::max({peak, std::fabs(a.left[i]), std::fabs(a.right[i])});
        left += double(a.left[i]) * a.left[i];
        right += double(a.right[i]) * a.right[i];
    }
    EXPECT_NEAR(20.0 * std::log10(peak), -3.0, 0.01);
    EXPECT_GT(left, 0.5 * right); // both sides of the stereo field play
    EXPECT_GT(right, 0.5 * left);
    // Slower tempo, longer phrase; another rate, the same length in time.
    EXPECT_EQ(SynthesiseDemoPhrase(44100.0, 90.0).Frames(), std::size_t(4 * 4 * 44100 * 60 / 90));
    EXPECT_EQ(SynthesiseDemoPhrase(48000.0, 120.0).Frames(), std::size_t(8 * 48000));
    // Something to echo: the first note starts at once.
    EXPECT_NEAR(FirstOnsetSeconds(a), 0.0, 0.005);
}

TEST(WaveformPicture, EchoesAreMarkedAtTheirTimesAfterTheOnset)
{
    AudioBuffer dry;
    dry.sampleRate = 1000.0;
    dry.Resize(4000);
    dry.left[1000] = dry.right[1000] = 0.9f; // onset at 1 s
    AudioBuffer wet = dry;
    wet.right[1500] = 0.3f; // in the lower lane, clear of the rows read below
    wet.right[2000] = 0.1f;
    PictureContent content;
    content.title = "TEST";
    content.dry = &dry;
    content.wet = &wet;
    content.onsetSeconds = FirstOnsetSeconds(dry);
    EXPECT_DOUBLE_EQ(content.onsetSeconds, 1.0);
    content.echoes = {{0.5, -10.0}, {1.0, -20.0}};
    const Canvas c = DrawWaveform(content, 800, 400);

    // Columns that hold echo marks, read along the middle of the picture.
    std::vector<int> marks;
    for (int x = 0; x < c.Width(); ++x)
    {
        for (int y = c.Height() / 3; y < c.Height() / 3 + 8; ++y)
        {
            if (IsEchoMark(c.At(x, y)))
            {
                marks.push_back(x);
                break;
            }
        }
    }
    ASSERT_EQ(marks.size(), 2u);
    // At 1.5 s and 2 s of a 4 s time axis that starts near the left edge.
    const double pxPerSecond = 2.0 * (marks[1] - marks[0]);
    const double axisStart = marks[0] - 1.5 * pxPerSecond;
    EXPECT_GT(axisStart, 0.0);
    EXPECT_LT(axisStart, 60.0);
    EXPECT_GT(4.0 * pxPerSecond, 0.8 * c.Width());
    EXPECT_LT(axisStart + 4.0 * pxPerSecond, c.Width());
}

TEST(WaveformPicture, WritesAPngOrNothing)
{
    ScratchDir dir;
    Canvas c(40, 20, Rgb{10, 20, 30});
    c.Text(1, 1, "AB 12", Rgb{255, 255, 255});
    std::string error;
    ASSERT_TRUE(c.WritePng(dir.File("p.png"), error)) << error;
    EXPECT_EQ(ListNames(dir.Path()).size(), 1u);
    EXPECT_FALSE(c.WritePng(dir.File("missing/p.png"), error));
    EXPECT_NE(error.find("missing"), std::string::npos);
    EXPECT_EQ(ListNames(dir.Path()).size(), 1u);
}

// Lines reaching far past the canvas draw only what is on it, dashes counted
// from the line's own start.
TEST(WaveformPicture, LinesAreClippedAndDashed)
{
    const Rgb white{255, 255, 255};
    Canvas c(30, 20, Rgb{});
    c.VLine(3, 2000000000, -2000000000, white);
    c.HLine(-7, 1000000000, 5, white, 1.0, 4);
    for (int y = 0; y < 20; ++y)
    {
        EXPECT_EQ(c.At(3, y).r, 255) << y;
    }
    for (int x = 0; x < 30; ++x)
    {
        const bool on = ((x + 7) / 4) % 2 == 0;
        EXPECT_EQ(c.At(x, 5).r == 255, on || x == 3) << x;
    }
}
