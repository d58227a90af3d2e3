#pragma once

// A headless editor attached to a small plug-in, with filmstrips whose frames
// are filled with known colours, for driving controls through the editor's
// event entries.

#include "graphics/IControl.h"
#include "graphics/headless/IGraphicsHeadless.h"
#include "raster/LICE_MemBitmap.h"
#include "raster/Raster.h"
#include "tests/support/TestPlug.h"

#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

// Parameters: 0 "Gain" continuous 0..10, 1 "Mode" three named choices,
// 2 "Bypass" switch, 3 "Time" continuous 1..2000 ms.
class EditorTest : public ::testing::Test
{
protected:
    EditorTest() : plug(4)
    {
        plug.GetParam(0)->DefineContinuous("Gain", 5.0, 0.0, 10.0, 0.01, "dB");
        plug.GetParam(1)->DefineEnum("Mode", 1, 3);
        plug.GetParam(1)->AddDisplayText(0, "soft");
        plug.GetParam(1)->AddDisplayText(1, "medium");
        plug.GetParam(1)->AddDisplayText(2, "hard");
        plug.GetParam(2)->DefineSwitch("Bypass", false);
        plug.GetParam(3)->DefineContinuous("Time", 250.0, 1.0, 2000.0, 1.0, "ms");
        g = new IGraphicsHeadless(&plug, 200, 120);
    }
    ~EditorTest() override
    {
        if (plug.GetEditor() != g)
        {
            delete g;
        }
    }

    // Attaches the editor (values pushed, back buffer made) and paints it until
    // nothing is left to paint.
    void Attach()
    {
        plug.AttachEditor(g);
        g->OpenEditorWindow(this);
        for (int i = 0; i < 4 && g->Tick(); ++i)
        {
        }
        g->ClearPresented();
        plug.calls.clear();
    }

    // A w x (h * frames) filmstrip; frame k (from 1) is filled with the
    // colour FrameColour(k).
    IBitmapRef Strip(int w, int h, int frames)
    {
        strips.push_back(std::make_unique<LICE_MemBitmap>(w, h * frames));
        LICE_MemBitmap* bmp = strips.back().get();
        for (int k = 1; k <= frames; ++k)
        {
            RasterFillRect(bmp, 0, (k - 1) * h, w, h, FrameColour(k), 1.0f, RasterModeCopy);
        }
        return IBitmapRef(bmp, w, h * frames, frames);
    }
    static uint32_t FrameColour(int k) { return 0xFF000000u | static_cast<uint32_t>(k * 2); }
    // Which frame the pixel shows, from its colour.
    int FrameAt(int x, int y) { return g->PeekPixel(x, y).blue / 2; }

    template <typename C, typename... Args> C* Add(Args&&... args)
    {
        auto* c = new C(&plug, std::forward<Args>(args)...);
        g->AddControl(c);
        return c;
    }

    void Press(int x, int y, IMouseKeys keys = IMouseKeys(true, false, false, false, false))
    {
        g->HandleMouseDown(x, y, keys);
    }
    void Release(int x, int y) { g->HandleMouseUp(x, y, IMouseKeys()); }

    TestPlug plug;
    IGraphicsHeadless* g; // owned by plug once attached
    std::vector<std::unique_ptr<LICE_MemBitmap>> strips;
};

// Records the events it receives.
class ProbeControl : public IControl
{
public:
    ProbeControl(IPlugBase* plug, const IBox& box, int paramIdx = -1)
        : IControl(plug, box, paramIdx)
    {
    }
    bool Paint(IGraphics*) override
    {
        ++paints;
        return true;
    }
    void MouseDown(int, int, const IMouseKeys&) override { events.push_back("down"); }
    void MouseUp(int, int, const IMouseKeys&) override { events.push_back("up"); }
    void MouseDrag(int, int, int dX, int dY, const IMouseKeys&) override
    {
        events.push_back("drag " + std::to_string(dX) + "," + std::to_string(dY));
    }
    void MouseDoubleClick(int, int, const IMouseKeys&) override { events.push_back("double"); }
    void MouseWheel(int, int, const IMouseKeys&, int delta) override
    {
        events.push_back("wheel " + std::to_string(delta));
    }

    std::vector<std::string> events;
    int paints = 0;
};
