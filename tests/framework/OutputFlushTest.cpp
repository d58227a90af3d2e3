// Samples closer to zero than 1e-30 leave every process callback as 0, so
// that no denormal number reaches the host; everything else passes unchanged.

#include "tests/support/TestPlug.h"

#include <gtest/gtest.h>
#include <vector>

namespace
{

// Writes the same few values, tiny and not, on every output.
struct TinyPlug : TestPlug
{
    static constexpr double kValues[6] = {1e-35, -3e-31, 2e-30, -1e-300, 0.25, 1e-29};
    TinyPlug() : TestPlug(1, "2-2", 1)
    {
        ConnectInputs(0, 2, true);
        ConnectOutputs(0, 2, true);
        SetBlockLength(6);
    }
    void ProcessBlock(double**, double** out, int n) override
    {
        for (int c = 0; c < 2; ++c)
            for (int i = 0; i < n; ++i)
                out[c][i] = kValues[i];
    }
};

} // namespace

TEST(OutputFlush, TinySamplesLeaveEveryCallbackAsZero)
{
    TinyPlug plug;
    const double expected[6] = {0.0, 0.0, 2e-30, 0.0, 0.25, 1e-29};

    std::vector<float> in32(6, 0.0f), l32(6, 9.0f), r32(6, 9.0f);
    float* ins32[2] = {in32.data(), in32.data()};
    float* outs32[2] = {l32.data(), r32.data()};
    plug.RunBlock(ins32, outs32, 6);
    for (int i = 0; i < 6; ++i)
    {
        EXPECT_EQ(l32[i], static_cast<float>(expected[i])) << i;
        EXPECT_EQ(r32[i], static_cast<float>(expected[i])) << i;
    }

    std::vector<double> in64(6, 0.0), l64(6, 9.0), r64(6, 9.0);
    double* ins64[2] = {in64.data(), in64.data()};
    double* outs64[2] = {l64.data(), r64.data()};
    plug.RunBlock(ins64, outs64, 6);
    for (int i = 0; i < 6; ++i)
    {
        EXPECT_EQ(l64[i], expected[i]) << i;
        EXPECT_EQ(r64[i], expected[i]) << i;
    }

    // Adding to what the host holds: what is written is what counts, so a
    // tiny sum is 0 too, and a host's own sample is otherwise kept.
    std::vector<float> acc = {0.0f, 1e-31f, 1.0f, 0.0f, 0.5f, -1e-29f};
    float* accs[2] = {acc.data(), acc.data()};
    plug.RunBlockAccumulating(ins32, accs, 6);
    // Both channels add into the same buffer, one after the other.
    const float after[6] = {0.0f, 0.0f, 1.0f, 0.0f, 1.0f, static_cast<float>(1e-29)};
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(acc[i], after[i]) << i;
}
