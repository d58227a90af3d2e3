#pragma once

#include "graphics/IGraphics.h"

#include <map>
#include <memory>
#include <string>

class LICE_MemBitmap;
class LICE_SysBitmap;

// The drawing operations of the editor on a 32-bit back buffer, done with
// the raster library. Blends translate into raster modes as follows:
//
//   absent   copy, source alpha, weight 1
//   kind 0   copy, source alpha, blend weight
//   kind 1   copy, no source alpha, blend weight
//   kind 2   add, source alpha, blend weight
//   kind 3   colour dodge, source alpha, blend weight
//
// PlotPoint and StrokeArc map kind 2 to add, kind 3 to dodge and everything
// else to copy, and never use the source alpha.
class IGraphicsLice : public IGraphics
{
public:
    IGraphicsLice(IPlugBase* plug, int width, int height, int fps = 0);
    ~IGraphicsLice() override;

    void CreateBackBuffer() override;
    bool BlitBitmap(const IBitmapRef& bitmap, const IBox& dest, int srcX, int srcY,
                    const IDrawBlend* blend = nullptr) override;
    bool BlitRotated(const IBitmapRef& bitmap, int cx, int cy, double angle, int yOffset,
                     const IDrawBlend* blend = nullptr) override;
    bool BlitRotatedMask(const IBitmapRef& base, const IBitmapRef& mask, const IBitmapRef& top,
                         int x, int y, double angle, const IDrawBlend* blend = nullptr) override;
    bool PlotPoint(const IColorRGBA& colour, float x, float y, const IDrawBlend* blend = nullptr,
                   bool antialias = false) override;
    bool PokePixel(const IColorRGBA& colour, int x, int y) override;
    bool StrokeLine(const IColorRGBA& colour, float x1, float y1, float x2, float y2,
                    const IDrawBlend* blend = nullptr, bool antialias = false) override;
    bool StrokeArc(const IColorRGBA& colour, float cx, float cy, float r, float startAngle,
                   float endAngle, const IDrawBlend* blend = nullptr,
                   bool antialias = false) override;
    bool StrokeCircle(const IColorRGBA& colour, float cx, float cy, float r,
                      const IDrawBlend* blend = nullptr, bool antialias = false) override;
    bool FillBox(const IColorRGBA& colour, const IBox& box,
                 const IDrawBlend* blend = nullptr) override;
    IColorRGBA PeekPixel(int x, int y) override;
    uint32_t* BackBufferBits() override;
    void ResizeEditor(int width, int height) override;
    IBitmapRef LoadBitmapRef(int id, const char* fileName, int frames = 1) override;
    IBitmapRef ScaleBitmapRef(const IBitmapRef& bitmap, int width, int height) override;
    IBitmapRef CropBitmapRef(const IBitmapRef& bitmap, const IBox& box) override;
    // Direct writes of the packed colour: no blending and no clipping to
    // drawRect; the span is clamped to the surface.
    bool VLine(const IColorRGBA& colour, int x, int y1, int y2) override;
    bool HLine(const IColorRGBA& colour, int y, int x1, int x2) override;
    void KeepBitmap(const IBitmapRef& bitmap) override;
    void DropBitmap(const IBitmapRef& bitmap) override;
    // Decodes the embedded image of the module's resources.
    LICE_IBitmap* LoadBitmapResource(int id, const char* fileName) override;

    // The back buffer, null until CreateBackBuffer.
    LICE_SysBitmap* BackBuffer() const { return backBuffer.get(); }

    // An image's art at twice its size is the image of id + kTwinIdOffset,
    // named with "@2x" before the extension.
    static constexpr int kTwinIdOffset = 100;
    static std::string TwinFileName(const char* fileName);
    // What is drawn for the bitmap at the current scale: the bitmap itself
    // at 100 %; else its twin, made once per scale and kept in the bitmap
    // cache (from the art at twice the size where the image has it, filtered
    // down below 200 %, else filtered up from the bitmap), frame by frame so
    // a filmstrip keeps its frame count.
    LICE_IBitmap* DeviceBitmap(const IBitmapRef& ref);

protected:
    void ScaleChanged() override;
    std::unique_ptr<LICE_SysBitmap> backBuffer;
    std::unique_ptr<LICE_MemBitmap> scratch;
    // The logical pixels fixed along the span from..to (inclusive) as direct
    // writes of device pixels.
    bool LogicalSpan(const IColorRGBA& colour, int fixed, int from, int to, bool vertical);
    // The file name of each loaded image's twin, by the image's id.
    std::map<int, std::string> twinFiles;
};
