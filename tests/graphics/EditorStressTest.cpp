#include "graphics/ICaptionControl.h"
#include "graphics/IKnobMultiControl.h"
#include "tests/graphics/EditorFixture.h"

#include <atomic>
#include <thread>

// The host automates, loads texts and hides controls under the plug-in lock
// while the editor's thread paints and the user turns a knob, as in a host
// with the editor open. Run under ThreadSanitizer this shows that nothing a
// paint or hit test reads is written unguarded by the host's thread.
TEST_F(EditorTest, EditorStressPaintsWhileTheHostAutomates)
{
    const ITextStyle style("Arial", 12, IColorRGBA(255, 0, 0, 0));
    auto* knob = Add<IKnobMultiControl>(10, 10, 0, Strip(20, 20, 11));
    Add<ICaptionControl>(IBox(10, 40, 80, 60), 1, style, true);
    auto* readout = Add<ITextControl>(IBox(10, 70, 190, 90), style, "");
    auto* hidden = Add<IKnobMultiControl>(100, 10, 3, Strip(20, 20, 11));
    Attach();

    std::atomic<bool> stop{false};
    std::atomic<int> ticks{0};
    std::thread host(
        [&]
        {
            // Until both sides have done a fair amount of work, within a bound.
            for (int i = 0; i < 4000 || (ticks < 300 && i < 400000); ++i)
            {
                PlugLockGuard guard(plug.Lock());
                const double v = (i % 100) / 99.0;
                for (int p : {0, 1, 3})
                {
                    plug.GetParam(p)->SetFromNormalized(v);
                    g->PushParamToControls(p, plug.GetParam(p)->ToNormalized(), true);
                }
                readout->SetText(i % 2 ? "odd" : "even");
                hidden->SetHidden(i % 3 == 0);
                hidden->SetGreyed(i % 5 == 0);
            }
            stop = true;
        });
    while (!stop)
    {
        g->HandleWheel(15, 15, IMouseKeys(), (ticks % 2) ? 1 : -1);
        g->ControlAt(110, 20);
        g->Tick();
        ++ticks;
    }
    host.join();
    g->Tick();
    EXPECT_GE(knob->value, 0.0);
    EXPECT_LE(knob->value, 1.0);
    EXPECT_GT(ticks, 0);
}
