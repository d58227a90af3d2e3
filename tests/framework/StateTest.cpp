#include "tests/support/TestPlug.h"

#include <climits>
#include <cstring>
#include <gtest/gtest.h>
#include <limits>

namespace
{
// Four declared parameters with distinct ranges plus one appended.
void Declare(TestPlug& plug)
{
    plug.GetParam(0)->DefineContinuous("a", 0.5, 0, 1, 0.01);
    plug.GetParam(1)->DefineContinuous("b", -3, -25, 0, 0.25);
    plug.GetParam(2)->DefineEnum("c", 2, 6);
    plug.GetParam(3)->DefineSwitch("d", true);
    plug.AddParam()->DefineContinuous("extra", 7, 0, 10, 1);
}

StateChunk RawChunk(std::initializer_list<double> values)
{
    StateChunk c;
    for (double v : values)
        c.PutDouble(v);
    return c;
}
} // namespace

TEST(StateChunkBuffer, BoundsAreChecked)
{
    StateChunk c;
    c.PutInt32(0x01020304);
    c.PutDouble(2.5);
    EXPECT_EQ(c.Size(), 12);
    int32_t i = 0;
    double d = 0;
    EXPECT_EQ(c.GetInt32(&i, 0), 4);
    EXPECT_EQ(i, 0x01020304);
    EXPECT_EQ(c.GetDouble(&d, 4), 12);
    EXPECT_EQ(d, 2.5);
    // Little-endian on the wire.
    EXPECT_EQ(c.Data()[0], 0x04);

    d = 9;
    EXPECT_EQ(c.GetDouble(&d, 5), -1);
    EXPECT_EQ(c.GetDouble(&d, -1), -1);
    EXPECT_EQ(c.GetDouble(&d, INT_MAX - 2), -1); // no wrap-around of pos + n
    EXPECT_EQ(c.GetBytes(&d, -8, 4), -1);
    EXPECT_EQ(d, 9);
    EXPECT_FALSE(c.PutBytes(nullptr, 4));
    EXPECT_FALSE(c.PutBytes(&d, -1));

    c.Resize(20);
    EXPECT_EQ(c.Size(), 20);
    EXPECT_EQ(c.Data()[19], 0);
    c.Resize(-5);
    EXPECT_EQ(c.Size(), 0);
}

TEST(State, WriteAndReadBackDeclaredParameters)
{
    TestPlug plug;
    Declare(plug);
    StateChunk chunk;
    plug.StartStateChunk(chunk);
    ASSERT_TRUE(plug.WriteState(chunk));
    ASSERT_EQ(chunk.Size(), 8 + 8 * 4); // the appended parameter is not part of it
    EXPECT_EQ(std::memcmp(chunk.Data(), "tffp", 4), 0);
    int32_t version = 0;
    chunk.GetInt32(&version, 4);
    EXPECT_EQ(version, 0x00010000);

    for (int i = 0; i < plug.NParams(); ++i)
        plug.GetParam(i)->SetFromNormalized(0.0);
    plug.calls.clear();

    int pos = 0;
    EXPECT_EQ(plug.ReadStateChunkVersion(chunk, pos), 0x00010000);
    EXPECT_EQ(pos, 8);
    EXPECT_EQ(plug.ReadState(chunk, pos), chunk.Size());
    EXPECT_DOUBLE_EQ(plug.GetParam(0)->Value(), 0.5);
    EXPECT_DOUBLE_EQ(plug.GetParam(1)->Value(), -3);
    EXPECT_DOUBLE_EQ(plug.GetParam(2)->Value(), 2);
    EXPECT_DOUBLE_EQ(plug.GetParam(3)->Value(), 1);
    EXPECT_DOUBLE_EQ(plug.GetParam(4)->Value(), 0); // untouched by a declared-only read
    // Every parameter of the list is announced, appended ones included.
    EXPECT_EQ(plug.calls.size(), 5u);

    StateChunk all;
    EXPECT_TRUE(plug.WriteParamsToChunk(all, true));
    EXPECT_EQ(all.Size(), 8 * 5);
}

TEST(State, ChunkWithoutHeaderIsReadFromStart)
{
    TestPlug plug;
    Declare(plug);
    StateChunk chunk = RawChunk({0.25, -10, 4, 0});
    int pos = 0;
    EXPECT_EQ(plug.ReadStateChunkVersion(chunk, pos), 0);
    EXPECT_EQ(pos, 0);
    EXPECT_EQ(plug.ReadState(chunk, pos), 32);
    EXPECT_DOUBLE_EQ(plug.GetParam(0)->Value(), 0.25);
    EXPECT_DOUBLE_EQ(plug.GetParam(1)->Value(), -10);
    EXPECT_DOUBLE_EQ(plug.GetParam(2)->Value(), 4);
    EXPECT_DOUBLE_EQ(plug.GetParam(3)->Value(), 0);

    StateChunk truncatedHeader;
    truncatedHeader.PutInt32(kProgramChunkMagic);
    truncatedHeader.PutBytes("\x01\x00", 2);
    pos = 0;
    plug.ReadStateChunkVersion(truncatedHeader, pos);
    EXPECT_EQ(pos, -1);
}

TEST(State, ShortChunkStopsAtTheGap)
{
    TestPlug plug;
    Declare(plug);
    plug.GetParam(3)->SetValue(1);
    // Two whole values, then half of the third.
    StateChunk chunk = RawChunk({0.9, -20});
    chunk.PutBytes("\0\0\0\0", 4);
    EXPECT_EQ(plug.ReadState(chunk, 0), -1);
    EXPECT_DOUBLE_EQ(plug.GetParam(0)->Value(), 0.9);
    EXPECT_DOUBLE_EQ(plug.GetParam(1)->Value(), -20);
    EXPECT_DOUBLE_EQ(plug.GetParam(2)->Value(), 0); // the gap: 0 clamped into range
    EXPECT_DOUBLE_EQ(plug.GetParam(3)->Value(), 1); // after the gap: unchanged

    TestPlug plug2;
    Declare(plug2);
    StateChunk empty;
    plug2.GetParam(1)->SetValue(-3);
    EXPECT_EQ(plug2.ReadState(empty, 0), -1);
    EXPECT_DOUBLE_EQ(plug2.GetParam(1)->Value(), -3);
    EXPECT_DOUBLE_EQ(plug2.GetParam(0)->Value(), 0);
}

TEST(State, ValuesAreClampedAndNonNumbersSkipped)
{
    TestPlug plug;
    Declare(plug);
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    StateChunk chunk = RawChunk({5.0, nan, -inf, 0.0});
    EXPECT_EQ(plug.ReadState(chunk, 0), 32);
    EXPECT_DOUBLE_EQ(plug.GetParam(0)->Value(), 1.0);
    EXPECT_DOUBLE_EQ(plug.GetParam(1)->Value(), -3.0); // kept
    EXPECT_DOUBLE_EQ(plug.GetParam(2)->Value(), 2.0);  // kept
    EXPECT_DOUBLE_EQ(plug.GetParam(3)->Value(), 0.0);  // reading went on
}
