#include "tests/support/TestPlug.h"

#include <gtest/gtest.h>
#include <limits>
#include <string>
#include <vector>

namespace
{
struct FakeEditor : IEditor
{
    struct Push
    {
        int idx;
        double value;
        bool normalized;
    };
    std::vector<Push> pushes;
    int backBuffers = 0;
    int* deleted;

    explicit FakeEditor(int* deletedCounter) : deleted(deletedCounter) {}
    ~FakeEditor() override { ++*deleted; }
    void PushParamToControls(int idx, double value, bool normalized) override
    {
        pushes.push_back({idx, value, normalized});
    }
    void MarkAllControlsDirty() override {}
    int Width() const override { return 720; }
    int Height() const override { return 650; }
    void* OpenEditorWindow(void*) override { return nullptr; }
    void CloseEditorWindow() override {}
    void CreateBackBuffer() override { ++backBuffers; }
};
} // namespace

TEST(Base, IdentityAndParameterList)
{
    TestPlug plug(3, "1-1", 2);
    EXPECT_EQ(plug.EffectVersion(true), 10203); // packed 1.2.3
    EXPECT_EQ(plug.IdentifyHost(), -1);

    EXPECT_EQ(plug.NParams(), 3);
    EXPECT_EQ(plug.GetParam(3), nullptr);
    EXPECT_EQ(plug.GetParam(-1), nullptr);
    plug.AddParam();
    EXPECT_EQ(plug.NParams(), 4);
    EXPECT_EQ(plug.DeclaredParams(), 3);
    EXPECT_NE(plug.GetParam(3), nullptr);

    plug.SetSampleRate(48000.0);
    plug.SetSampleRate(0.0);
    plug.SetSampleRate(std::numeric_limits<double>::quiet_NaN());
    EXPECT_DOUBLE_EQ(plug.SampleRate(), 48000.0);

    char key[8] = "x";
    EXPECT_FALSE(plug.GetMidiKeyName(60, key));
    EXPECT_STREQ(key, "");
}

TEST(Base, HostNames)
{
    const struct
    {
        const char* name;
        int code;
    } cases[] = {
        {"REAPER", 1}, {"Cubase Live", 3}, {"Adobe Audition CS", 17}, {"Digital Workstation", 22},
        {"", 0},       {"Unknown Host", 0}};
    for (const auto& c : cases)
    {
        TestPlug plug;
        plug.SetHost(c.name, 0x00002814);
        EXPECT_EQ(plug.HostCode(), c.code) << c.name;
        EXPECT_EQ(plug.HostVersion(), 0x00002814);
    }
    EXPECT_EQ(IPlugBase::HostCodeForName(nullptr), 0);
}

TEST(Base, GuiChangeAutomatesBeforeNotifying)
{
    TestPlug plug;
    plug.GetParam(1)->DefineContinuous("t", 0, 0, 100, 1);
    plug.SetParameterFromGUI(1, 0.5);
    EXPECT_DOUBLE_EQ(plug.GetParam(1)->Value(), 50.0);
    EXPECT_EQ(plug.calls, (std::vector<std::string>{"automate 1", "changed 1"}));

    plug.calls.clear();
    plug.SetParameterFromGUI(99, 0.5);
    plug.SetParameterFromGUI(-1, 0.5);
    plug.SetParameterFromGUI(1, std::numeric_limits<double>::quiet_NaN());
    EXPECT_TRUE(plug.calls.empty());
    plug.SetParameterFromGUI(1, 3.0);
    EXPECT_DOUBLE_EQ(plug.GetParam(1)->Value(), 100.0);
}

TEST(Base, EditorReceivesValuesAndIsOwned)
{
    int deleted = 0;
    {
        TestPlug plug(2, "1-1", 1);
        plug.GetParam(0)->DefineContinuous("a", 25, 0, 100, 1);
        plug.GetParam(1)->DefineSwitch("b", true);
        plug.PushParamsToEditor(); // no editor: nothing to do
        plug.AttachEditor(nullptr);
        EXPECT_EQ(plug.GetEditor(), nullptr);

        auto* editor = new FakeEditor(&deleted);
        plug.AttachEditor(editor);
        EXPECT_EQ(plug.GetEditor(), editor);
        EXPECT_EQ(editor->backBuffers, 1);
        ASSERT_EQ(editor->pushes.size(), 2u);
        EXPECT_TRUE(editor->pushes[0].normalized);
        EXPECT_DOUBLE_EQ(editor->pushes[0].value, 0.25);

        editor->pushes.clear();
        plug.PushParamsToEditor();
        ASSERT_EQ(editor->pushes.size(), 2u);
        EXPECT_FALSE(editor->pushes[0].normalized);
        EXPECT_DOUBLE_EQ(editor->pushes[0].value, 25.0);
        EXPECT_DOUBLE_EQ(editor->pushes[1].value, 1.0);

        // Replacing the editor releases the previous one.
        plug.AttachEditor(new FakeEditor(&deleted));
        EXPECT_EQ(deleted, 1);
    }
    EXPECT_EQ(deleted, 2);
}
