#include "tests/support/TestPlug.h"

#include <gtest/gtest.h>

namespace
{
// The host's program change: the program being left keeps the current values.
void SelectProgram(IPlugBase& plug, int idx)
{
    plug.StoreCurrentProgram();
    plug.RestoreProgram(idx);
}
} // namespace

TEST(Programs, ConstructionNamesAndDefaultProgram)
{
    TestPlug plug(2, "1-1", 3);
    EXPECT_EQ(plug.NPrograms(), 3);
    EXPECT_STREQ(plug.GetProgramName(0), "- 1 -");
    EXPECT_STREQ(plug.GetProgramName(2), "- 3 -");
    EXPECT_STREQ(plug.GetProgramName(3), "");
    EXPECT_STREQ(plug.GetProgramName(-1), "");
    plug.EnsureDefaultProgram(); // programs exist: nothing happens
    EXPECT_EQ(plug.NPrograms(), 3);

    TestPlug none(2, "1-1", 0);
    none.GetParam(0)->DefineContinuous("a", 0.3, 0, 1, 0.01);
    none.EnsureDefaultProgram();
    ASSERT_EQ(none.NPrograms(), 1);
    EXPECT_STREQ(none.GetProgramName(0), "Default");
    EXPECT_TRUE(none.GetProgram(0)->Initialized());
    EXPECT_EQ(none.GetProgram(0)->State().Size(), 16);
}

TEST(Programs, FreshProgramsTakeCurrentValuesAndUserNames)
{
    TestPlug plug;
    plug.GetParam(0)->DefineContinuous("a", 0.3, 0, 1, 0.01);
    SelectProgram(plug, 3);
    EXPECT_EQ(plug.CurrentProgram(), 3);
    EXPECT_STREQ(plug.GetProgramName(3), "user preset 1");
    SelectProgram(plug, 5);
    EXPECT_STREQ(plug.GetProgramName(5), "user preset 2");

    // A host-given name containing the phrase counts toward the next number.
    plug.StoreCurrentProgram("my user preset");
    EXPECT_STREQ(plug.GetProgramName(5), "my user preset");
    char next[IPlugProgram::kNameSize];
    plug.NextUserProgramName(next);
    EXPECT_STREQ(next, "user preset 3");

    // An empty name keeps the old one.
    plug.StoreCurrentProgram("");
    EXPECT_STREQ(plug.GetProgramName(5), "my user preset");

    EXPECT_FALSE(plug.RestoreProgram(6));
    EXPECT_FALSE(plug.RestoreProgram(-1));
    EXPECT_EQ(plug.CurrentProgram(), 5);
}

TEST(Programs, StoredProgramComesBack)
{
    TestPlug plug;
    plug.GetParam(0)->DefineContinuous("a", 0.3, 0, 1, 0.01);
    plug.GetParam(1)->DefineEnum("b", 0, 4);

    // Edit program 0, leave it, edit program 3, return.
    plug.GetParam(0)->SetValue(0.8);
    plug.GetParam(1)->SetValue(2);
    SelectProgram(plug, 3);
    EXPECT_DOUBLE_EQ(plug.GetParam(0)->Value(), 0.8); // fresh program took the values
    plug.GetParam(0)->SetValue(0.1);
    plug.GetParam(1)->SetValue(3);
    SelectProgram(plug, 0);
    EXPECT_EQ(plug.CurrentProgram(), 0);
    EXPECT_STREQ(plug.GetProgramName(0), "- 1 -");
    EXPECT_DOUBLE_EQ(plug.GetParam(0)->Value(), 0.8);
    EXPECT_DOUBLE_EQ(plug.GetParam(1)->Value(), 2);

    SelectProgram(plug, 3);
    EXPECT_DOUBLE_EQ(plug.GetParam(0)->Value(), 0.1);
    EXPECT_DOUBLE_EQ(plug.GetParam(1)->Value(), 3);
    EXPECT_STREQ(plug.GetProgramName(3), "user preset 1");
}
