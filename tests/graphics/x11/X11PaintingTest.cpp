// The X11 layer's painting with an effect of the test's own: audio goes on
// while the editor's thread paints.

#include "graphics/IControl.h"
#include "graphics/x11/IGraphicsX11.h"
#include "tests/graphics/x11/X11Host.h"
#include "tests/support/TestPlug.h"

#include <atomic>
#include <chrono>
#include <gtest/gtest.h>
#include <thread>

namespace
{

// Waits, while it paints, for the audio thread to finish a block after the
// paint began, and notes whether one did within two seconds.
class WaitsForAudio : public IControl
{
public:
    WaitsForAudio(IPlugBase* plug, const std::atomic<int>& blocks)
        : IControl(plug, IBox(0, 0, 60, 40)), blocks(blocks)
    {
    }
    bool Paint(IGraphics*) override
    {
        if (armed)
        {
            const int before = blocks.load();
            const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(2);
            while (blocks.load() <= before + 1 && std::chrono::steady_clock::now() < end)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            sawAudio = blocks.load() > before + 1;
            painted = true;
        }
        return true;
    }

    const std::atomic<int>& blocks;
    std::atomic<bool> armed{false}, painted{false}, sawAudio{false};
};

TEST(X11Painting, AudioRunsWhileTheEditorPaints)
{
    std::string why;
    ASSERT_TRUE(X11Host::Start(why)) << why;
    TestPlug plug;
    plug.SetBlockLength(16);
    std::atomic<int> blocks{0};
    auto* control = new WaitsForAudio(&plug, blocks);
    auto* editor = new IGraphicsX11(&plug, 60, 40);
    editor->AddControl(control);
    plug.AttachEditor(editor);
    const Window parent = X11Host::MakeParent(0, 0, 60, 40);
    ASSERT_NE(editor->OpenEditorWindow(reinterpret_cast<void*>(parent)), nullptr);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));

    std::atomic<bool> stop{false};
    std::thread audio(
        [&]
        {
            while (!stop)
            {
                plug.RunBlock(static_cast<float**>(nullptr), static_cast<float**>(nullptr), 16);
                ++blocks;
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
        });
    // A value from the host: the editor's thread repaints the control.
    control->armed = true;
    control->TakePlugValue(0.5);
    for (int i = 0; i < 300 && !control->painted; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    stop = true;
    audio.join();
    EXPECT_TRUE(control->painted);
    EXPECT_TRUE(control->sawAudio);
    editor->CloseEditorWindow();
    X11Host::DestroyWindow(parent);
}

} // namespace
