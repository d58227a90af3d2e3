#include "tools/render/EffectHost.h"
#include "tools/render/ParamText.h"
#include "tools/render/RenderTool.h"

#include <gtest/gtest.h>
#include <sstream>

using namespace zelbor::render;

namespace
{

class ParamByName : public ::testing::Test
{
protected:
    void SetUp() override
    {
        std::string error;
        host = EffectHost::Create(error);
        ASSERT_TRUE(host) << error;
        host->Prepare(44100.0, 256);
    }

    // Sets the parameter and returns the plain value the effect then holds.
    double Set(const std::string& name, const std::string& value)
    {
        std::string error;
        std::ostringstream warnings;
        EXPECT_TRUE(ApplyParam(*host, {name, value}, error, warnings)) << error;
        EXPECT_EQ(warnings.str(), "");
        return host->ValueByName(name);
    }

    std::string Refused(const std::string& name, const std::string& value)
    {
        std::string error;
        std::ostringstream warnings;
        EXPECT_FALSE(ApplyParam(*host, {name, value}, error, warnings));
        return error;
    }

    std::unique_ptr<EffectHost> host;
};

} // namespace

TEST_F(ParamByName, PlainValuesReachTheEffectThroughTheNormalisedScale)
{
    EXPECT_NEAR(Set("Time_A", "375"), 375.0, 1e-3);
    EXPECT_NEAR(Set("Time_B", "1"), 1.0, 1e-9);
    EXPECT_NEAR(Set("Time_C", "2000"), 2000.0, 1e-9);
    EXPECT_NEAR(Set("Fb_A", "-6.5 dB"), -6.5, 1e-4);
    EXPECT_NEAR(Set("Lpf_H", "2500Hz"), 2500.0, 1e-2);
    EXPECT_NEAR(Set("Pan_D", "0.25"), 0.25, 1e-6);
    // Shaped knobs: the plain value survives the curved normalised mapping.
    EXPECT_NEAR(Set("Scl_Dly", "2"), 2.0, 1e-5);
    EXPECT_NEAR(Set("Scl_Dpth", "0.5"), 0.5, 1e-5);
    EXPECT_EQ(host->ParamDisplay(host->FindParam("Time_A")), "375.0");
}

TEST_F(ParamByName, ChoicesByTheirTexts)
{
    EXPECT_EQ(Set("Mode_B", "bpm"), 0.0);
    EXPECT_EQ(Set("Bpm_B", "1/8 d"), 15.0);
    EXPECT_EQ(host->ParamDisplay(host->FindParam("Bpm_B")), "1/8 d");
    EXPECT_EQ(Set("Bpm_C", "1/32 t"), 22.0);
    EXPECT_EQ(Set("Bpm_D", "8/1"), 0.0);
    EXPECT_EQ(Set("Mains_C", "on"), 1.0);
    EXPECT_EQ(Set("Mains_A", "off"), 0.0);
    EXPECT_EQ(Set("In_C", "L+R"), 3.0);
    EXPECT_EQ(Set("Rx_B", "A"), 0.0);
    EXPECT_EQ(Set("Rx_C", "-"), 8.0);
    EXPECT_EQ(Set("Shape_A", "ramp dn"), 3.0); // case does not matter when unambiguous
    EXPECT_EQ(Set("Oper_A", "2"), 2.0);        // or the choice number
}

TEST_F(ParamByName, UnknownNamesAndBadValuesAreRefusedWithTheRange)
{
    std::string e = Refused("Tme_A", "5");
    EXPECT_NE(e.find("unknown parameter \"Tme_A\""), std::string::npos) << e;
    e = Refused("time_a", "5");
    EXPECT_NE(e.find("did you mean Time_A"), std::string::npos) << e;
    e = Refused("Time_A", "2500");
    EXPECT_NE(e.find("Time_A"), std::string::npos) << e;
    EXPECT_NE(e.find("1 to 2000 ms"), std::string::npos) << e;
    e = Refused("Fb_B", "3");
    EXPECT_NE(e.find("-25 to 0 dB"), std::string::npos) << e;
    e = Refused("Mode_B", "bmp");
    EXPECT_NE(e.find("bpm | msec"), std::string::npos) << e;
    e = Refused("Bpm_A", "1/3");
    EXPECT_NE(e.find("1/8 d"), std::string::npos) << e;
    e = Refused("Wet", "lots");
    EXPECT_NE(e.find("not a number"), std::string::npos) << e;
    e = Refused("Oper_A", "3");
    EXPECT_NE(e.find("Oper_A"), std::string::npos) << e;
    // A refused value leaves the parameter as it was.
    EXPECT_NEAR(host->ValueByName("Time_A"), 500.0, 1e-9);
}

TEST(ParamText, UnitsAndRanges)
{
    ParamDescription time;
    time.name = "Depth_C";
    time.minimum = 0.0;
    time.maximum = 6.0;
    EXPECT_EQ(RangeText(time), "0 to 6 ms");
    EXPECT_TRUE(ConvertParamText(time, "2.25ms").ok);
    EXPECT_DOUBLE_EQ(ConvertParamText(time, " 2.25 MS").plain, 2.25);
    EXPECT_FALSE(ConvertParamText(time, "2.25 dB").ok); // the wrong unit is not a number
    EXPECT_FALSE(ConvertParamText(time, "6.01").ok);
    EXPECT_FALSE(ConvertParamText(time, "nan").ok);
    EXPECT_FALSE(ConvertParamText(time, "").ok);
    EXPECT_EQ(UnitOf("Wet"), "");
    EXPECT_EQ(UnitOf("Rate_H"), "Hz");
}

TEST(ParamByNameRouting, RefusedRoutingIsReported)
{
    std::string error;
    auto host = EffectHost::Create(error);
    ASSERT_TRUE(host) << error;
    RenderOptions o;
    o.params = {{"In_C", "L"}, {"Rx_B", "C"}, {"Rx_C", "B"}, {"Rx_D", "A"}};
    std::ostringstream warnings;
    ASSERT_TRUE(ConfigureEffect(*host, o, 44100.0, error, warnings)) << error;
    // B takes C's output; C taking B's would close a loop; D may take A.
    EXPECT_EQ(warnings.str().find("Rx_B"), std::string::npos) << warnings.str();
    EXPECT_NE(warnings.str().find("refused Rx_C=B"), std::string::npos) << warnings.str();
    EXPECT_EQ(warnings.str().find("Rx_D"), std::string::npos) << warnings.str();
}
