#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace zelbor::render
{

struct Rgb
{
    uint8_t r = 0;
    uint8_t g = 0;
    uint8_t b = 0;
};

// An 8-bit RGB picture with the few drawing operations the waveform needs,
// including text in a built-in 5 by 7 pixel font (upper case, digits and
// some punctuation; lower case letters are drawn as capitals).
class Canvas
{
public:
    Canvas(int width, int height, Rgb background);

    int Width() const { return mWidth; }
    int Height() const { return mHeight; }
    Rgb At(int x, int y) const;

    // alpha from 0 (nothing) to 1 (opaque); pixels outside are ignored.
    void Blend(int x, int y, Rgb color, double alpha = 1.0);
    void FillRect(int x0, int y0, int x1, int y1, Rgb color, double alpha = 1.0);
    void VLine(int x, int y0, int y1, Rgb color, double alpha = 1.0, int dash = 0);
    void HLine(int x0, int x1, int y, Rgb color, double alpha = 1.0, int dash = 0);
    // Draws text with its top-left corner at (x, y); scale enlarges each dot.
    void Text(int x, int y, const std::string& text, Rgb color, int scale = 1);
    static int TextWidth(const std::string& text, int scale = 1);
    static int TextHeight(int scale = 1) { return 7 * scale; }

    // Writes the picture as a PNG through a temporary file in the same
    // folder, renamed when complete.
    bool WritePng(const std::string& path, std::string& error) const;

private:
    // A line along x (or along y when vertical) at the fixed other coordinate.
    void Run(int fixed, int from, int to, bool vertical, Rgb c, double alpha, int dash);

    int mWidth;
    int mHeight;
    std::vector<uint8_t> mPixels; // RGB rows, top to bottom
};

} // namespace zelbor::render
