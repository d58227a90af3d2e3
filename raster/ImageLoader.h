#pragma once

#include "raster/LICE_IBitmap.h"

#include <cstddef>

// Decoding of the editor's PNG images into 32-bit bitmaps (0xAARRGGBB,
// straight alpha). Every image type (grey, grey with alpha, palette, RGB,
// RGBA, any bit depth, with or without transparency) arrives in that layout.

// Limits that keep a crafted header from making the decoder allocate
// unreasonable amounts of memory.
enum
{
    PngMaxDimension = 16384,
    PngMaxPixels = 16 * 1024 * 1024
};

// Decodes a PNG image held in memory. Without a target the result is a new
// LICE_MemBitmap (row alignment 4) owned by the caller; with a target the
// target is resized and filled and returned. Null for anything that is not a
// complete, valid PNG image within the limits. Never reads outside
// [data, data + size).
LICE_IBitmap* DecodePngMemory(const void* data, std::size_t size, LICE_IBitmap* target = nullptr);

// Decodes the PNG resource with the id from the module (null: the resource
// module of platform/Resources.h). Null when it is absent or invalid.
LICE_IBitmap* DecodePngResource(void* module, int id);

// Whether the file name's extension (text after its last '.') is "png" in
// any letter case.
bool HasPngExtension(const char* fileName);

// Decodes the embedded image with the id when the file name says it is a
// PNG image; null otherwise. The result is owned by the caller.
LICE_IBitmap* LoadBitmapResource(int id, const char* fileName);
