// The X11 layer's painting with an effect of the test's own.

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
using namespace std::chrono_literals;

// Its first painting once armed waits up to two seconds for audio blocks to
// run.
struct WaitsForAudio : IControl
{
    WaitsForAudio(IPlugBase* plug, const std::atomic<int>& blocks)
        : IControl(plug, IBox(0, 0, 60, 40)), blocks(blocks)
    {
    }
    bool Paint(IGraphics*) override
    {
        if (armed.exchange(false))
        {
            const int before = blocks;
            for (int i = 0; i < 2000 && blocks < before + 2; ++i)
                std::this_thread::sleep_for(1ms);
            sawAudio = blocks >= before + 2;
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
    std::this_thread::sleep_for(200ms);

    std::atomic<bool> stop{false};
    std::thread audio(
        [&]
        {
            for (; !stop; ++blocks, std::this_thread::sleep_for(1ms))
                plug.RunBlock(static_cast<float**>(nullptr), static_cast<float**>(nullptr), 16);
        });
    control->armed = true;
    control->TakePlugValue(0.5); // the editor's thread repaints it
    for (int i = 0; i < 300 && !control->painted; ++i)
        std::this_thread::sleep_for(10ms);
    stop = true;
    audio.join();
    EXPECT_TRUE(control->painted);
    EXPECT_TRUE(control->sawAudio);
    editor->CloseEditorWindow();
    X11Host::DestroyWindow(parent);
}

} // namespace
