#pragma once

#include "raster/LICE_IBitmap.h"

// Writes a bitmap to a PNG file (8-bit RGBA, straight alpha, as the pixels
// hold it). With opaque set every pixel's alpha is written as 255, for
// surfaces whose alpha channel means nothing on screen, such as a back
// buffer. The path is UTF-8. False when the bitmap is null or empty or the
// file cannot be written; a failed write leaves no partial file behind.
bool WritePngFile(LICE_IBitmap* bitmap, const char* path, bool opaque = false);
