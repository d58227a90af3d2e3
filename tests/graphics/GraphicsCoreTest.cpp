#include "graphics/IKnobMultiControl.h"
#include "graphics/ISwitchControl.h"
#include "raster/LICE_SysBitmap.h"
#include "tests/graphics/EditorFixture.h"

using Events = std::vector<std::string>;

TEST_F(EditorTest, TopmostVisibleEnabledControlTakesTheClick)
{
    auto* below = Add<ProbeControl>(IBox(10, 10, 50, 50));
    auto* above = Add<ProbeControl>(IBox(10, 10, 50, 50));
    Attach();
    EXPECT_EQ(g->ControlAt(20, 20), 1);
    above->SetHidden(true);
    EXPECT_EQ(g->ControlAt(20, 20), 0);
    above->SetHidden(false);
    above->SetGreyed(true);
    EXPECT_EQ(g->ControlAt(20, 20), 0);
    below->SetGreyed(true);
    EXPECT_EQ(g->ControlAt(20, 20), -1);
    EXPECT_EQ(g->ControlAt(50, 20), -1); // right edge is outside

    // A captured control gets everything, wherever the pointer is.
    below->SetGreyed(false);
    Press(20, 20);
    EXPECT_EQ(g->ControlAt(150, 100), 0);
    EXPECT_EQ(below->events, Events{"down"});
}

TEST_F(EditorTest, DragsGoToTheCaptureOnlyWhenThePointerMoved)
{
    auto* probe = Add<ProbeControl>(IBox(10, 10, 50, 50));
    Attach();
    g->HandleMouseDrag(30, 30, IMouseKeys()); // no capture: dropped
    Press(20, 20);
    g->HandleMouseDrag(25, 18, IMouseKeys());
    g->HandleMouseDrag(25, 18, IMouseKeys());
    g->HandleMouseDrag(180, 100, IMouseKeys()); // far outside, still captured
    Release(180, 100);                          // the release goes to the capture
    EXPECT_EQ(probe->events, (Events{"down", "drag 5,-2", "drag 155,82", "up"}));

    Release(180, 100); // no capture, no control there
    Release(20, 20);   // no capture: the control under the pointer
    EXPECT_EQ(probe->events.size(), 5u);
}

TEST_F(EditorTest, DoubleClickIsAPressOnlyWhereTheControlAsksForIt)
{
    auto* plain = Add<ProbeControl>(IBox(0, 0, 40, 40));
    auto* asDown = Add<ProbeControl>(IBox(50, 0, 90, 40));
    asDown->doubleClickAsDown = true;
    Attach();
    EXPECT_FALSE(g->HandleDoubleClick(10, 10, IMouseKeys()));
    EXPECT_EQ(g->captureIdx, -1);
    EXPECT_TRUE(g->HandleDoubleClick(60, 10, IMouseKeys()));
    EXPECT_EQ(g->captureIdx, 1);
    Release(0, 0);
    EXPECT_EQ(plain->events, Events{"double"});
    EXPECT_EQ(asDown->events, (Events{"down", "up"}));
}

TEST_F(EditorTest, HostGetsBeginAutomateEndAroundAKnobDrag)
{
    auto* knob = Add<IKnobMultiControl>(10, 10, 0, Strip(20, 40, 11), 0, 1.0);
    Attach();
    Press(20, 40);
    g->HandleMouseDrag(20, 36, IMouseKeys());
    Release(20, 36);
    EXPECT_EQ(plug.calls, (Events{"begin 0", "automate 0", "changed 0", "end 0"}));
    EXPECT_NEAR(knob->value, 0.5 + 4.0 / 40.0, 1e-12);
    EXPECT_NEAR(plug.GetParam(0)->Value(), 6.0, 1e-9);
}

TEST_F(EditorTest, DirtyControlsRepaintAsOneUnionAndPendingOnesOnceMore)
{
    auto* a = Add<ProbeControl>(IBox(10, 10, 30, 30), 0);
    auto* b = Add<ProbeControl>(IBox(100, 50, 120, 60));
    auto* c = Add<ProbeControl>(IBox(150, 0, 190, 10));
    Attach();
    IBox dirty;
    EXPECT_FALSE(g->CollectDirtyArea(dirty));

    a->MarkDirty(false);
    b->MarkDirty(false);
    ASSERT_TRUE(g->CollectDirtyArea(dirty));
    EXPECT_EQ(dirty, IBox(10, 10, 120, 60));
    g->PaintArea(dirty);
    EXPECT_EQ(c->paints, 1); // only the first paint of the editor
    EXPECT_FALSE(g->Tick());

    // A host change paints the control twice: now and once more after.
    g->ClearPresented();
    plug.GetParam(0)->SetFromNormalized(0.9);
    g->PushParamToControls(0, plug.GetParam(0)->Value(), false);
    EXPECT_DOUBLE_EQ(a->value, 0.9);
    const int before = a->paints;
    EXPECT_TRUE(g->Tick());
    EXPECT_TRUE(g->Tick());
    EXPECT_FALSE(g->Tick());
    EXPECT_EQ(a->paints, before + 2);
    EXPECT_EQ(g->Presented(), (std::vector<IBox>{IBox(10, 10, 30, 30), IBox(10, 10, 30, 30)}));
}

TEST(EditorEmpty, PaintingNoControlsPresentsNothing)
{
    TestPlug plug;
    IGraphicsHeadless g(&plug, 50, 50);
    g.CreateBackBuffer();
    EXPECT_TRUE(g.PaintArea(IBox(0, 0, 50, 50)));
    EXPECT_TRUE(g.Presented().empty());
    EXPECT_EQ(g.ControlAt(1, 1), -1);
    EXPECT_EQ(g.FPS(), 24);
}

TEST_F(EditorTest, FramesAreReadFromTheirPlaceInTheStrip)
{
    // 5 frames in 100 rows: frame 3 starts at row 40.
    LICE_MemBitmap rows(4, 100);
    for (int y = 0; y < 100; ++y)
    {
        RasterFillRect(&rows, 0, y, 4, 1, 0xFF000000u | static_cast<uint32_t>(y), 1.0f,
                       RasterModeCopy);
    }
    Attach();
    g->drawRect = IBox(0, 0, 200, 120);
    const IDrawBlend opaque(BlendOpaque, 1.0f);
    g->DrawFrame(IBitmapRef(&rows, 4, 100, 5), IBox(0, 0, 4, 20), 3, &opaque);
    EXPECT_EQ(g->PeekPixel(0, 0).blue, 40);
    EXPECT_EQ(g->PeekPixel(0, 19).blue, 59);
    g->DrawFrame(IBitmapRef(&rows, 4, 100, 1), IBox(0, 0, 4, 20), 3, &opaque);
    EXPECT_EQ(g->PeekPixel(0, 0).blue, 0);

    // Blits clip to the area being painted.
    g->drawRect = IBox(0, 0, 4, 10);
    g->DrawFrame(IBitmapRef(&rows, 4, 100, 5), IBox(0, 0, 4, 20), 2, &opaque);
    EXPECT_EQ(g->PeekPixel(0, 9).blue, 29);
    EXPECT_EQ(g->PeekPixel(0, 10).blue, 10); // left from the draw before
}

TEST_F(EditorTest, DirectLinesClampToTheSurface)
{
    Attach();
    const IColorRGBA red(255, 255, 0, 0);
    g->FillBox(IColorRGBA(255, 0, 0, 0), IBox(0, 0, 200, 120), nullptr);
    g->VLine(red, -7, 110, 500);  // column 0, rows 110..119
    g->HLine(red, 300, 195, 10);  // reversed after clamping: nothing
    g->HLine(red, 300, 190, 400); // row 119, columns 190..199
    int lit = 0;
    for (int y = 0; y < 120; ++y)
    {
        for (int x = 0; x < 200; ++x)
        {
            lit += g->PeekPixel(x, y) == red;
        }
    }
    EXPECT_EQ(lit, 10 + 10);
    EXPECT_EQ(g->PeekPixel(0, 110), red);
    EXPECT_EQ(g->PeekPixel(199, 119), red);
    EXPECT_TRUE(g->DrawBoxOutline(red, IBox(20, 20, 30, 30)));
    EXPECT_EQ(g->PeekPixel(30, 30), red); // the outline includes right and bottom
}

TEST_F(EditorTest, AHostChangeRepaintsOnlyTheBoundControl)
{
    g->SetBackground(100, "background.png"); // inserted under everything
    Add<IKnobMultiControl>(10, 10, 0, Strip(20, 20, 11));
    Add<ISwitchControl>(60, 10, 2, Strip(30, 10, 2));
    Add<IKnobMultiControl>(100, 10, 3, Strip(20, 20, 11));
    Attach();
    EXPECT_EQ(g->NControls(), 4);
    plug.GetParam(3)->SetFromNormalized(1.0);
    g->PushParamToControls(3, 1.0, true);
    EXPECT_TRUE(g->Tick());
    ASSERT_FALSE(g->Presented().empty());
    EXPECT_EQ(g->Presented().front(), IBox(100, 10, 120, 30));
    EXPECT_EQ(FrameAt(110, 20), 11);
}

TEST_F(EditorTest, ResizingDropsEveryControlAndTheCapture)
{
    Add<ProbeControl>(IBox(0, 0, 10, 10));
    Attach();
    Press(5, 5);
    g->ResizeEditor(300, 200);
    EXPECT_EQ(g->NControls(), 0);
    EXPECT_EQ(g->captureIdx, -1);
    EXPECT_EQ(g->Width(), 300);
    EXPECT_EQ(g->BackBuffer()->Width(), 300);
}
