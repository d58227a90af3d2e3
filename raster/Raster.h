#pragma once

#include "raster/LICE_IBitmap.h"

#include <cstdint>

// Drawing into 32-bit bitmaps with integer arithmetic. Every operation takes
// a weight (overall opacity; 1 is full, 0 draws nothing) and a mode word:
//
//   bits 0..7   pixel operation (RasterModeCopy ... RasterModeHSVAdjust), or
//               0xF0..0xFF for a channel copy (RasterBlit only)
//   bits 8..15  filter: RasterFilterBilinear for scaled and rotated copies
//   bit 16      RasterUseSourceAlpha: the source alpha scales the weight
//
// All operations accept null bitmaps, clip everything to the destination and
// never touch memory outside a bitmap's pixels.

enum : unsigned
{
    RasterModeCopy = 0,
    RasterModeAdd = 1,
    RasterModeDodge = 2,
    RasterModeMultiply = 3,
    RasterModeOverlay = 4,
    RasterModeHSVAdjust = 5,
    RasterModeMask = 0xFF,
    RasterModeChannelCopy = 0xF0,
    RasterFilterBilinear = 0x100,
    RasterFilterMask = 0xFF00,
    RasterUseSourceAlpha = 0x10000
};

// Mode word that copies byte srcByte (0 blue .. 3 alpha) of every source
// pixel into byte dstByte of the destination pixel.
constexpr unsigned RasterChannelCopy(int srcByte, int dstByte)
{
    return RasterModeChannelCopy | (static_cast<unsigned>(srcByte) & 3u) |
           ((static_cast<unsigned>(dstByte) & 3u) << 2);
}

// Copies the rectangle (srcx, srcy, srcw, srch) of src to (dstx, dsty).
void RasterBlit(LICE_IBitmap* dst, LICE_IBitmap* src, int dstx, int dsty, int srcx, int srcy,
                int srcw, int srch, float weight, unsigned mode);

// Resizes dst to the size of src and copies it whole.
void RasterCopy(LICE_IBitmap* dst, LICE_IBitmap* src);

// Copies the source rectangle scaled to the destination rectangle. A negative
// destination width or height mirrors the image along that axis.
void RasterScaledBlit(LICE_IBitmap* dst, LICE_IBitmap* src, int dstx, int dsty, int dstw, int dsth,
                      float srcx, float srcy, float srcw, float srch, float weight, unsigned mode);

// Copies the source rectangle rotated by angle (radians, clockwise on screen)
// about the centre of the destination rectangle, the source centre moved by
// (centreOffsetX, centreOffsetY). clipToSource limits sampling to the source
// rectangle instead of the whole source bitmap.
void RasterRotatedBlit(LICE_IBitmap* dst, LICE_IBitmap* src, int dstx, int dsty, int dstw, int dsth,
                       float srcx, float srcy, float srcw, float srch, float angle,
                       bool clipToSource, float weight, unsigned mode, float centreOffsetX,
                       float centreOffsetY);

void RasterFillRect(LICE_IBitmap* dst, int x, int y, int w, int h, uint32_t colour, float weight,
                    unsigned mode);

// Every pixel of the rectangle becomes (pixel & andMask) | orBits.
void RasterClearRect(LICE_IBitmap* dst, int x, int y, int w, int h, uint32_t andMask,
                     uint32_t orBits);

void RasterPutPixel(LICE_IBitmap* dst, int x, int y, uint32_t colour, float weight, unsigned mode);

// The pixel word, or 0 outside the bitmap.
uint32_t RasterGetPixel(LICE_IBitmap* src, int x, int y);

// A line including both end points.
void RasterLine(LICE_IBitmap* dst, int x1, int y1, int x2, int y2, uint32_t colour, float weight,
                unsigned mode, bool antialias);

void RasterCircle(LICE_IBitmap* dst, float cx, float cy, float r, uint32_t colour, float weight,
                  unsigned mode, bool antialias);

// An arc from startAngle to endAngle (radians; 0 points up, angles grow
// clockwise on screen).
void RasterArc(LICE_IBitmap* dst, float cx, float cy, float r, float startAngle, float endAngle,
               uint32_t colour, float weight, unsigned mode, bool antialias);

// Draws the colour through a coverage mask of one byte per pixel (mask row
// after row, maskw bytes each) with its top-left corner at (x, y).
void RasterDrawMask(LICE_IBitmap* dst, int x, int y, uint32_t colour, const unsigned char* mask,
                    int maskw, int maskh, float weight, unsigned mode);
