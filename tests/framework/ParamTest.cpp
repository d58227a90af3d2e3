#include "framework/IPlugParam.h"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>
#include <string>

namespace
{
std::string Format(const IPlugParam& p, double v, bool normalized = false)
{
    char buf[kParamTextSize];
    p.FormatValue(v, normalized, buf);
    return buf;
}
} // namespace

TEST(Param, FreshParameterIsUsable)
{
    IPlugParam p;
    EXPECT_EQ(p.Kind(), KindUnset);
    EXPECT_EQ(Format(p, p.Value()), "0");
    EXPECT_DOUBLE_EQ(p.ToNormalized(), 0.0);
    p.SetFromNormalized(0.7); // unset kind rounds to the step of 1
    EXPECT_DOUBLE_EQ(p.Value(), 1.0);
}

TEST(Param, PrecisionFollowsStep)
{
    const struct
    {
        double step;
        int precision;
    } cases[] = {{1, 0},     {0.5, 1}, {0.1, 1}, {0.01, 2},      {0.25, 2},
                 {0.001, 3}, {9.5, 1}, {110, 0}, {1.0 / 3.0, 6}, {0.0, 0}};
    for (const auto& c : cases)
    {
        IPlugParam p;
        p.DefineContinuous("x", 0, 0, 100, c.step);
        EXPECT_EQ(p.Precision(), c.precision) << "step " << c.step;
    }
}

TEST(Param, ContinuousDefinitionAndDisplay)
{
    IPlugParam p;
    p.DefineContinuous("Mix", 5, 0, 10, 0.25, "dB");
    EXPECT_EQ(p.Kind(), KindContinuous);
    EXPECT_STREQ(p.Name(), "Mix");
    EXPECT_STREQ(p.Label(), "dB");
    EXPECT_EQ(Format(p, 5), "5.00");
    EXPECT_EQ(Format(p, 0), "0");
    EXPECT_EQ(Format(p, -0.0), "0");
    EXPECT_EQ(Format(p, 0.5, true), "5.00");

    IPlugParam narrow; // maximum raised to min + step
    narrow.DefineContinuous("n", 0, 0, 0.5, 1);
    EXPECT_DOUBLE_EQ(narrow.Max(), 1.0);

    IPlugParam outside; // default outside the range is kept until changed
    outside.DefineContinuous("o", 20, 0, 10, 1);
    EXPECT_DOUBLE_EQ(outside.Value(), 20.0);
    EXPECT_DOUBLE_EQ(outside.ToNormalized(), 1.0);

    IPlugParam whole; // precision 0 truncates toward zero
    whole.DefineContinuous("w", 0, -10, 10, 1);
    EXPECT_EQ(Format(whole, 2.7), "2");
    EXPECT_EQ(Format(whole, -2.7), "-2");
    EXPECT_EQ(Format(whole, -0.3), "0");
    whole.SetNegateDisplay(true);
    EXPECT_EQ(Format(whole, 3), "-3");
}

TEST(Param, ShapedMappingIsInvertible)
{
    IPlugParam p;
    p.DefineContinuous("s", 0, 0, 100, 0.01);
    p.SetShapeExponent(2.0);
    p.SetFromNormalized(0.5);
    EXPECT_DOUBLE_EQ(p.Value(), 25.0);
    EXPECT_DOUBLE_EQ(p.ToNormalized(), 0.5);
    // Continuous values are not rounded to the step.
    p.SetFromNormalized(0.123);
    EXPECT_NEAR(p.Value(), 100 * 0.123 * 0.123, 1e-12);
    for (double x = 0; x <= 1.0; x += 0.0625)
        EXPECT_NEAR(p.ToNormalized(p.FromNormalized(x)), x, 1e-12);

    p.SetShapeExponent(0.0);
    p.SetShapeExponent(-1.0);
    p.SetShapeExponent(std::numeric_limits<double>::quiet_NaN());
    EXPECT_DOUBLE_EQ(p.Shape(), 2.0);
    // Out-of-range plain values normalise to the ends.
    EXPECT_DOUBLE_EQ(p.ToNormalized(-5), 0.0);
    EXPECT_DOUBLE_EQ(p.ToNormalized(500), 1.0);
}

TEST(Param, SwitchRoundsAndShowsTexts)
{
    IPlugParam p;
    p.DefineSwitch("Bypass", true);
    EXPECT_EQ(p.Kind(), KindSwitch);
    EXPECT_DOUBLE_EQ(p.Value(), 1.0);
    p.SetFromNormalized(0.49);
    EXPECT_DOUBLE_EQ(p.Value(), 0.0);
    EXPECT_EQ(Format(p, p.Value()), "off");
    p.SetFromNormalized(0.5);
    EXPECT_DOUBLE_EQ(p.Value(), 1.0);
    EXPECT_EQ(Format(p, p.Value()), "on");

    int v = -1;
    EXPECT_TRUE(p.ValueForDisplayText("on", &v));
    EXPECT_EQ(v, 1);
    // The text for a normalised value names the state that value sets.
    EXPECT_EQ(Format(p, 0.5, true), "on");
    EXPECT_FALSE(p.ValueForDisplayText("On", &v));
    EXPECT_FALSE(p.ValueForDisplayText(nullptr, &v));
}

TEST(Param, EnumChoicesAndLookups)
{
    IPlugParam p;
    p.DefineEnum("Shape", 2, 8);
    const char* choices[] = {"c0", "c1", "c2", "c3", "c4", "c5", "c6", "c7"};
    for (int i = 0; i < 8; ++i)
        p.AddDisplayText(i, choices[i]);
    EXPECT_EQ(p.Kind(), KindEnum);
    EXPECT_EQ(p.DisplayTextCount(), 8);
    p.SetFromNormalized(1.0);
    EXPECT_DOUBLE_EQ(p.Value(), 7.0);
    EXPECT_DOUBLE_EQ(p.ToNormalized(), 1.0);
    // Every choice survives a round trip through the host's scale.
    for (int i = 0; i < 8; ++i)
    {
        p.SetFromNormalized(p.ToNormalized(i));
        EXPECT_DOUBLE_EQ(p.Value(), i);
    }
    EXPECT_EQ(Format(p, 3.9), "c3");

    // A host asks for the text of the value it holds, in single precision:
    // every choice is named by its own text, as with 23 choices.
    IPlugParam many;
    many.DefineEnum("Note", 0, 23);
    for (int i = 0; i < 23; ++i)
        many.AddDisplayText(i, ("n" + std::to_string(i)).c_str());
    for (int i = 0; i < 23; ++i)
        EXPECT_EQ(Format(many, static_cast<float>(many.ToNormalized(i)), true),
                  "n" + std::to_string(i));
    EXPECT_STREQ(p.DisplayTextFor(42), "");
    EXPECT_EQ(Format(p, 42), "42"); // falls back to the number
    // A later definition keeps the kind set first.
    p.DefineContinuous("Shape", 0, 0, 7, 1);
    EXPECT_EQ(p.Kind(), KindEnum);
}

TEST(Param, SetFromNormalizedClampsAndIgnoresNaN)
{
    IPlugParam p;
    p.DefineContinuous("t", 500, 1, 2000, 0.1);
    p.SetFromNormalized(std::numeric_limits<double>::quiet_NaN());
    EXPECT_DOUBLE_EQ(p.Value(), 500.0);
    p.SetFromNormalized(-3.0);
    EXPECT_DOUBLE_EQ(p.Value(), 1.0);
    p.SetFromNormalized(7.0);
    EXPECT_DOUBLE_EQ(p.Value(), 2000.0);
    p.SetFromNormalized(std::numeric_limits<double>::infinity());
    EXPECT_DOUBLE_EQ(p.Value(), 2000.0);
}

TEST(Param, TextsAreBoundedAndFormattingNeverOverruns)
{
    IPlugParam p;
    const std::string longName(100, 'n');
    p.DefineContinuous(longName.c_str(), 1e300, 0, 1e308, 0.5, longName.c_str());
    EXPECT_EQ(std::string(p.Name()), longName.substr(0, kParamNameSize - 1));
    EXPECT_EQ(std::string(p.Label()), longName.substr(0, kParamNameSize - 1));

    char small[8];
    p.FormatValue(1e300, false, small, sizeof(small));
    EXPECT_EQ(std::string(small).size(), 7u);
    char buf[kParamTextSize];
    p.FormatValue(std::numeric_limits<double>::quiet_NaN(), false, buf);
    p.FormatValue(-1e300, false, buf);
    EXPECT_EQ(buf[0], '-');
}
