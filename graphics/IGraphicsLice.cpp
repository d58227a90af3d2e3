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
    scalePercent = SnapScale(InitialScalePercent());
    backBuffer = std::make_unique<LICE_SysBitmap>(WindowWidth(), WindowHeight());
    scratch = std::make_unique<LICE_MemBitmap>(0, 0, 4);
}

void IGraphicsLice::ScaleChanged()
{
    if (backBuffer)
    {
        backBuffer->Resize(WindowWidth(), WindowHeight());
    }
}

LICE_IBitmap* IGraphicsLice::DeviceBitmap(const IBitmapRef& ref)
{
    if (scalePercent == 100 || !ref.bitmap)
    {
        return ref.bitmap;
    }
    if (LICE_IBitmap* twin = BitmapCache::Twin(ref.bitmap, scalePercent))
    {
        return twin;
    }
    // An image with art drawn at twice the size uses it (as it is at 200 %,
    // filtered down between); any other bitmap is filtered up from its own.
    LICE_IBitmap* large = nullptr;
    const int id = BitmapCache::IdOf(ref.bitmap);
    if (id >= 0)
    {
        large = BitmapCache::Load(id + kTwinIdOffset, twinFiles[id].c_str());
        if (large && (large->Width() != 2 * ref.bitmap->Width() ||
                      large->Height() != 2 * ref.bitmap->Height()))
        {
            large = nullptr;
        }
    }
    const int frames = ref.frames > 0 ? ref.frames : 1;
    if (large && scalePercent == 200)
    {
        return large;
    }
    LICE_IBitmap* made =
        BitmapCache::ScaledFrames(large ? large : ref.bitmap, frames, ToDevice(ref.bitmap->Width()),
                                  ToDevice(ref.bitmap->Height() / frames));
    return BitmapCache::AddTwin(ref.bitmap, scalePercent, made);
}

bool IGraphicsLice::BlitBitmap(const IBitmapRef& bitmap, const IBox& dest, int srcX, int srcY,
                               const IDrawBlend* blend)
{
    LICE_IBitmap* source = DeviceBitmap(bitmap);
    if (!source)
    {
        return true;
    }
    const IBox target = ToDevice(dest);
    IBox clip = target.Intersect(ToDevice(drawRect));
    // The source point in device pixels: a filmstrip's frame keeps its own
    // rows, whatever the rounding of the frame heights.
    const int frames = bitmap.frames > 0 ? bitmap.frames : 1;
    const int frameHeight = bitmap.bitmap->Height() / frames;
    const int deviceFrame = source->Height() / frames;
    int sourceY = ToDevice(srcY);
    if (frames > 1 && frameHeight > 0 && srcY >= 0)
    {
        const int frame = std::min(srcY / frameHeight, frames - 1);
        sourceY = frame * deviceFrame + ToDevice(srcY - frame * frameHeight);
        clip.bottom = std::min(clip.bottom, target.top + (frame + 1) * deviceFrame - sourceY);
    }
    if (clip.Empty())
    {
        return true;
    }
    RasterBlit(backBuffer.get(), source, clip.left, clip.top,
               clip.left + ToDevice(srcX) - target.left, clip.top + sourceY - target.top, clip.W(),
               clip.H(), Weight(blend), BlendMode(blend));
    return true;
}

bool IGraphicsLice::BlitRotated(const IBitmapRef& bitmap, int cx, int cy, double angle, int yOffset,
                                const IDrawBlend* blend)
{
    LICE_IBitmap* source = DeviceBitmap(bitmap);
    if (!source)
    {
        return true;
    }
    const int w = source->Width();
    const int h = source->Height();
    RasterRotatedBlit(backBuffer.get(), source, ToDevice(cx) - w / 2, ToDevice(cy) - h / 2, w, h,
                      0.0f, 0.0f, static_cast<float>(w), static_cast<float>(h),
                      static_cast<float>(angle), false, Weight(blend),
                      BlendMode(blend) | RasterFilterBilinear, 0.0f,
                      static_cast<float>(ToDevice(yOffset)));
    return true;
}

bool IGraphicsLice::BlitRotatedMask(const IBitmapRef& base, const IBitmapRef& mask,
                                    const IBitmapRef& top, int x, int y, double angle,
                                    const IDrawBlend* blend)
{
    LICE_IBitmap* baseBitmap = DeviceBitmap(base);
    if (!baseBitmap)
    {
        return true;
    }
    if (!scratch)
    {
        scratch = std::make_unique<LICE_MemBitmap>(0, 0, 4);
    }
    LICE_IBitmap* maskBitmap = DeviceBitmap(mask);
    LICE_IBitmap* topBitmap = DeviceBitmap(top);
    const float radians = static_cast<float>(angle * 3.14159265358979323846 / 180.0);
    const int w = baseBitmap->Width();
    const int h = baseBitmap->Height();
    const float centreX = (w % 2 == 0) ? 0.0f : -0.5f;
    RasterCopy(scratch.get(), baseBitmap);
    RasterClearRect(scratch.get(), 0, 0, w, h, 0x00FFFFFFu, 0u);
    if (maskBitmap)
    {
        RasterRotatedBlit(scratch.get(), maskBitmap, 0, 0, w, h, 0.0f, 0.0f, static_cast<float>(w),
                          static_cast<float>(h), radians, true, 1.0f,
                          RasterModeAdd | RasterUseSourceAlpha | RasterFilterBilinear, centreX,
                          0.0f);
    }
    if (topBitmap)
    {
        RasterRotatedBlit(scratch.get(), topBitmap, 0, 0, w, h, 0.0f, 0.0f, static_cast<float>(w),
                          static_cast<float>(h), radians, true, 1.0f,
                          RasterModeCopy | RasterUseSourceAlpha | RasterFilterBilinear, centreX,
                          0.0f);
    }
    const IBox clip = IBox(ToDevice(x), ToDevice(y), ToDevice(x) + w, ToDevice(y) + h)
                          .Intersect(ToDevice(drawRect));
    if (!clip.Empty())
    {
        RasterBlit(backBuffer.get(), scratch.get(), clip.left, clip.top, clip.left - ToDevice(x),
                   clip.top - ToDevice(y), clip.W(), clip.H(), Weight(blend), BlendMode(blend));
    }
    return true;
}

bool IGraphicsLice::PlotPoint(const IColorRGBA& colour, float x, float y, const IDrawBlend* blend,
                              bool)
{
    const float s = static_cast<float>(Scale());
    const int left = static_cast<int>(x * s + 0.5f);
    const int top = static_cast<int>(y * s + 0.5f);
    const int size = std::max(1, static_cast<int>(s + 0.5f));
    for (int dy = 0; dy < size; ++dy)
    {
        for (int dx = 0; dx < size; ++dx)
        {
            RasterPutPixel(backBuffer.get(), left + dx, top + dy, colour.Pack(), Weight(blend),
                           PointMode(blend));
        }
    }
    return true;
}

bool IGraphicsLice::PokePixel(const IColorRGBA& colour, int x, int y)
{
    LICE_IBitmap* bmp = backBuffer.get();
    if (!bmp || !bmp->Bits() || x < 0 || y < 0 || x >= width || y >= height)
    {
        return false;
    }
    // The logical pixel's device pixels.
    const IBox box =
        ToDevice(IBox(x, y, x + 1, y + 1)).Intersect(IBox(0, 0, bmp->Width(), bmp->Height()));
    for (int row = box.top; row < box.bottom; ++row)
    {
        for (int col = box.left; col < box.right; ++col)
        {
            bmp->Bits()[static_cast<size_t>(row) * static_cast<size_t>(bmp->RowSpan()) +
                        static_cast<size_t>(col)] = colour.Pack();
        }
    }
    return true;
}

bool IGraphicsLice::StrokeLine(const IColorRGBA& colour, float x1, float y1, float x2, float y2,
                               const IDrawBlend* blend, bool antialias)
{
    // Thick lines are parallel strokes, one device pixel apart.
    const float s = static_cast<float>(Scale());
    const int strokes = std::max(1, static_cast<int>(s + 0.5f));
    const bool steep = std::fabs(y2 - y1) > std::fabs(x2 - x1);
    for (int k = 0; k < strokes; ++k)
    {
        const int dx = steep ? k : 0;
        const int dy = steep ? 0 : k;
        RasterLine(backBuffer.get(), static_cast<int>(x1 * s) + dx, static_cast<int>(y1 * s) + dy,
                   static_cast<int>(x2 * s) + dx, static_cast<int>(y2 * s) + dy, colour.Pack(),
                   Weight(blend), BlendMode(blend), antialias);
    }
    return true;
}

bool IGraphicsLice::StrokeArc(const IColorRGBA& colour, float cx, float cy, float r,
                              float startAngle, float endAngle, const IDrawBlend* blend,
                              bool antialias)
{
    const float s = static_cast<float>(Scale());
    RasterArc(backBuffer.get(), cx * s, cy * s, r * s, startAngle, endAngle, colour.Pack(),
              Weight(blend), PointMode(blend), antialias);
    return true;
}

bool IGraphicsLice::StrokeCircle(const IColorRGBA& colour, float cx, float cy, float r,
                                 const IDrawBlend* blend, bool antialias)
{
    const float s = static_cast<float>(Scale());
    RasterCircle(backBuffer.get(), cx * s, cy * s, r * s, colour.Pack(), Weight(blend),
                 BlendMode(blend), antialias);
    return true;
}

bool IGraphicsLice::FillBox(const IColorRGBA& colour, const IBox& box, const IDrawBlend* blend)
{
    const IBox device = ToDevice(box);
    RasterFillRect(backBuffer.get(), device.left, device.top, device.W(), device.H(), colour.Pack(),
                   Weight(blend), BlendMode(blend));
    return true;
}

IColorRGBA IGraphicsLice::PeekPixel(int x, int y)
{
    return IColorRGBA::Unpack(RasterGetPixel(backBuffer.get(), ToDevice(x), ToDevice(y)));
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
        backBuffer->Resize(WindowWidth(), WindowHeight());
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
    if (id >= 0 && fileName)
    {
        twinFiles[id] = TwinFileName(fileName);
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
    return LogicalSpan(colour, x, y1, y2, true);
}

bool IGraphicsLice::HLine(const IColorRGBA& colour, int y, int x1, int x2)
{
    return LogicalSpan(colour, y, x1, x2, false);
}

bool IGraphicsLice::LogicalSpan(const IColorRGBA& colour, int fixed, int from, int to,
                                bool vertical)
{
    // One device span for every device row (or column) of the logical one.
    bool drawn = true;
    for (int k = ToDevice(fixed); k < std::max(ToDevice(fixed + 1), ToDevice(fixed) + 1); ++k)
    {
        drawn = DirectSpan(backBuffer.get(), colour.Pack(), k, ToDevice(from), ToDevice(to + 1) - 1,
                           vertical) &&
                drawn;
    }
    return drawn;
}

std::string IGraphicsLice::TwinFileName(const char* fileName)
{
    std::string name = fileName;
    const size_t dot = name.find_last_of('.');
    const size_t slash = name.find_last_of("\\/");
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
    {
        return name + "@2x";
    }
    return name.insert(dot, "@2x");
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
