#include "graphics/IGraphicsLice.h"

#include "raster/BitmapCache.h"
#include "raster/ImageLoader.h"
#include "raster/LICE_MemBitmap.h"
#include "raster/LICE_SysBitmap.h"
#include "raster/Raster.h"

#include <algorithm>
#include <cmath>

namespace
{

// Raster mode word for a blend, as every blending operation but PlotPoint
// and StrokeArc translates it.
unsigned BlendMode(const IDrawBlend* blend)
{
    if (!blend)
    {
        return RasterModeCopy | RasterUseSourceAlpha;
    }
    switch (blend->kind)
    {
    case BlendOpaque:
        return RasterModeCopy;
    case BlendAdd:
        return RasterModeAdd | RasterUseSourceAlpha;
    case BlendDodge:
        return RasterModeDodge | RasterUseSourceAlpha;
    default:
        return RasterModeCopy | RasterUseSourceAlpha;
    }
}

// PlotPoint and StrokeArc: add and dodge by kind, copy otherwise, never the
// source alpha.
unsigned PointMode(const IDrawBlend* blend)
{
    if (blend && blend->kind == BlendAdd)
    {
        return RasterModeAdd;
    }
    if (blend && blend->kind == BlendDodge)
    {
        return RasterModeDodge;
    }
    return RasterModeCopy;
}

float Weight(const IDrawBlend* blend)
{
    return blend ? blend->weight : 1.0f;
}

} // namespace

IGraphicsLice::IGraphicsLice(IPlugBase* plugIn, int w, int h, int framesPerSecond)
    : IGraphics(plugIn, w, h, framesPerSecond)
{
}

IGraphicsLice::~IGraphicsLice() = default;

void IGraphicsLice::CreateBackBuffer()
{
    backBuffer = std::make_unique<LICE_SysBitmap>(width, height);
    scratch = std::make_unique<LICE_MemBitmap>(0, 0, 4);
}

bool IGraphicsLice::BlitBitmap(const IBitmapRef& bitmap, const IBox& dest, int srcX, int srcY,
                               const IDrawBlend* blend)
{
    const IBox clip = dest.Intersect(drawRect);
    if (clip.Empty() || !bitmap.bitmap)
    {
        return true;
    }
    RasterBlit(backBuffer.get(), bitmap.bitmap, clip.left, clip.top, clip.left + srcX - dest.left,
               clip.top + srcY - dest.top, clip.W(), clip.H(), Weight(blend), BlendMode(blend));
    return true;
}

bool IGraphicsLice::BlitRotated(const IBitmapRef& bitmap, int cx, int cy, double angle, int yOffset,
                                const IDrawBlend* blend)
{
    if (!bitmap.bitmap)
    {
        return true;
    }
    const int w = bitmap.width;
    const int h = bitmap.height;
    RasterRotatedBlit(backBuffer.get(), bitmap.bitmap, cx - w / 2, cy - h / 2, w, h, 0.0f, 0.0f,
                      static_cast<float>(w), static_cast<float>(h), static_cast<float>(angle),
                      false, Weight(blend), BlendMode(blend) | RasterFilterBilinear, 0.0f,
                      static_cast<float>(yOffset));
    return true;
}

bool IGraphicsLice::BlitRotatedMask(const IBitmapRef& base, const IBitmapRef& mask,
                                    const IBitmapRef& top, int x, int y, double angle,
                                    const IDrawBlend* blend)
{
    if (!base.bitmap)
    {
        return true;
    }
    if (!scratch)
    {
        scratch = std::make_unique<LICE_MemBitmap>(0, 0, 4);
    }
    const float radians = static_cast<float>(angle * 3.14159265358979323846 / 180.0);
    const int w = base.width;
    const int h = base.height;
    const float centreX = (w % 2 == 0) ? 0.0f : -0.5f;
    RasterCopy(scratch.get(), base.bitmap);
    RasterClearRect(scratch.get(), 0, 0, w, h, 0x00FFFFFFu, 0u);
    if (mask.bitmap)
    {
        RasterRotatedBlit(scratch.get(), mask.bitmap, 0, 0, w, h, 0.0f, 0.0f, static_cast<float>(w),
                          static_cast<float>(h), radians, true, 1.0f,
                          RasterModeAdd | RasterUseSourceAlpha | RasterFilterBilinear, centreX,
                          0.0f);
    }
    if (top.bitmap)
    {
        RasterRotatedBlit(scratch.get(), top.bitmap, 0, 0, w, h, 0.0f, 0.0f, static_cast<float>(w),
                          static_cast<float>(h), radians, true, 1.0f,
                          RasterModeCopy | RasterUseSourceAlpha | RasterFilterBilinear, centreX,
                          0.0f);
    }
    const IBitmapRef composite(scratch.get(), w, h, 1);
    return BlitBitmap(composite, IBox(x, y, x + w, y + h), 0, 0, blend);
}

bool IGraphicsLice::PlotPoint(const IColorRGBA& colour, float x, float y, const IDrawBlend* blend,
                              bool)
{
    RasterPutPixel(backBuffer.get(), static_cast<int>(x + 0.5f), static_cast<int>(y + 0.5f),
                   colour.Pack(), Weight(blend), PointMode(blend));
    return true;
}

bool IGraphicsLice::PokePixel(const IColorRGBA& colour, int x, int y)
{
    LICE_IBitmap* bmp = backBuffer.get();
    if (!bmp || !bmp->Bits() || x < 0 || y < 0 || x >= bmp->Width() || y >= bmp->Height())
    {
        return false;
    }
    bmp->Bits()[static_cast<size_t>(y) * static_cast<size_t>(bmp->RowSpan()) +
                static_cast<size_t>(x)] = colour.Pack();
    return true;
}

bool IGraphicsLice::StrokeLine(const IColorRGBA& colour, float x1, float y1, float x2, float y2,
                               const IDrawBlend* blend, bool antialias)
{
    RasterLine(backBuffer.get(), static_cast<int>(x1), static_cast<int>(y1), static_cast<int>(x2),
               static_cast<int>(y2), colour.Pack(), Weight(blend), BlendMode(blend), antialias);
    return true;
}

bool IGraphicsLice::StrokeArc(const IColorRGBA& colour, float cx, float cy, float r,
                              float startAngle, float endAngle, const IDrawBlend* blend,
                              bool antialias)
{
    RasterArc(backBuffer.get(), cx, cy, r, startAngle, endAngle, colour.Pack(), Weight(blend),
              PointMode(blend), antialias);
    return true;
}

bool IGraphicsLice::StrokeCircle(const IColorRGBA& colour, float cx, float cy, float r,
                                 const IDrawBlend* blend, bool antialias)
{
    RasterCircle(backBuffer.get(), cx, cy, r, colour.Pack(), Weight(blend), BlendMode(blend),
                 antialias);
    return true;
}

bool IGraphicsLice::FillBox(const IColorRGBA& colour, const IBox& box, const IDrawBlend* blend)
{
    RasterFillRect(backBuffer.get(), box.left, box.top, box.W(), box.H(), colour.Pack(),
                   Weight(blend), BlendMode(blend));
    return true;
}

IColorRGBA IGraphicsLice::PeekPixel(int x, int y)
{
    return IColorRGBA::Unpack(RasterGetPixel(backBuffer.get(), x, y));
}

uint32_t* IGraphicsLice::BackBufferBits()
{
    return backBuffer ? backBuffer->Bits() : nullptr;
}

void IGraphicsLice::ResizeEditor(int w, int h)
{
    IGraphics::ResizeEditor(w, h);
    if (backBuffer)
    {
        backBuffer->Resize(w, h);
    }
}

IBitmapRef IGraphicsLice::LoadBitmapRef(int id, const char* fileName, int frames)
{
    LICE_IBitmap* bitmap = BitmapCache::Find(id);
    if (!bitmap)
    {
        bitmap = LoadBitmapResource(id, fileName);
        if (!bitmap)
        {
            return IBitmapRef(nullptr, 0, 0, frames);
        }
        BitmapCache::Add(bitmap, id);
    }
    return IBitmapRef(bitmap, bitmap->Width(), bitmap->Height(), frames);
}

IBitmapRef IGraphicsLice::ScaleBitmapRef(const IBitmapRef& bitmap, int w, int h)
{
    LICE_IBitmap* copy = BitmapCache::ScaledCopy(bitmap.bitmap, w, h);
    if (!copy)
    {
        return IBitmapRef(nullptr, 0, 0, bitmap.frames);
    }
    return IBitmapRef(copy, w, h, bitmap.frames);
}

IBitmapRef IGraphicsLice::CropBitmapRef(const IBitmapRef& bitmap, const IBox& box)
{
    LICE_IBitmap* copy =
        BitmapCache::CroppedCopy(bitmap.bitmap, box.left, box.top, box.W(), box.H());
    if (!copy)
    {
        return IBitmapRef(nullptr, 0, 0, bitmap.frames);
    }
    return IBitmapRef(copy, box.W(), box.H(), bitmap.frames);
}

// Writes the packed colour from (along, from) to (along, to) inclusive, or the
// transposed span when vertical: the fixed coordinate is clamped to the
// surface, and so are both ends; a span whose ends cross writes nothing.
static bool DirectSpan(LICE_IBitmap* bmp, uint32_t colour, int fixed, int from, int to,
                       bool vertical)
{
    if (!bmp || !bmp->Bits() || bmp->Width() <= 0 || bmp->Height() <= 0)
    {
        return false;
    }
    const int fixedLimit = (vertical ? bmp->Width() : bmp->Height()) - 1;
    const int spanLimit = (vertical ? bmp->Height() : bmp->Width()) - 1;
    fixed = std::clamp(fixed, 0, fixedLimit);
    from = std::clamp(from, 0, spanLimit);
    to = std::clamp(to, 0, spanLimit);
    const ptrdiff_t row = bmp->RowSpan();
    const ptrdiff_t step = vertical ? row : 1;
    uint32_t* p = bmp->Bits() + (vertical ? from * row + fixed : fixed * row + from);
    for (int i = from; i <= to; ++i, p += step)
    {
        *p = colour;
    }
    return true;
}

bool IGraphicsLice::VLine(const IColorRGBA& colour, int x, int y1, int y2)
{
    return DirectSpan(backBuffer.get(), colour.Pack(), x, y1, y2, true);
}

bool IGraphicsLice::HLine(const IColorRGBA& colour, int y, int x1, int x2)
{
    return DirectSpan(backBuffer.get(), colour.Pack(), y, x1, x2, false);
}

void IGraphicsLice::KeepBitmap(const IBitmapRef& bitmap)
{
    BitmapCache::Keep(bitmap.bitmap);
}

void IGraphicsLice::DropBitmap(const IBitmapRef& bitmap)
{
    BitmapCache::Drop(bitmap.bitmap);
}

LICE_IBitmap* IGraphicsLice::LoadBitmapResource(int id, const char* fileName)
{
    return ::LoadBitmapResource(id, fileName);
}
