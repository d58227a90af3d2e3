#include "raster/ImageLoader.h"

#include "raster/BitmapCache.h"
#include "raster/LICE_MemBitmap.h"

#include <cstdint>
#include <cstring>
#include <gtest/gtest.h>
#include <png.h>
#include <tuple>
#include <vector>
#include <zlib.h>

namespace
{
void Append(png_structp png, png_bytep data, png_size_t n)
{
    auto* out = static_cast<std::vector<unsigned char>*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + n);
}
void NoFlush(png_structp) {}

struct PngSpec
{
    int width = 3;
    int height = 2;
    int depth = 8;
    int type = PNG_COLOR_TYPE_RGBA;
    bool interlace = false;
    std::vector<png_color> palette;
    std::vector<png_byte> trnsAlpha; // palette transparency
    bool trnsColour = false;         // grey or RGB transparency
    png_color_16 trns{};
};

// Encodes raw rows (already packed as the colour type and depth require).
std::vector<unsigned char> Encode(const PngSpec& s, const std::vector<std::vector<png_byte>>& rows)
{
    std::vector<unsigned char> out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png)))
    {
        png_destroy_write_struct(&png, &info);
        ADD_FAILURE() << "encoding failed";
        return {};
    }
    png_set_write_fn(png, &out, Append, NoFlush);
    png_set_IHDR(png, info, s.width, s.height, s.depth, s.type,
                 s.interlace ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (!s.palette.empty())
    {
        png_set_PLTE(png, info, s.palette.data(), static_cast<int>(s.palette.size()));
    }
    if (!s.trnsAlpha.empty())
    {
        png_set_tRNS(png, info, s.trnsAlpha.data(), static_cast<int>(s.trnsAlpha.size()), nullptr);
    }
    else if (s.trnsColour)
    {
        png_set_tRNS(png, info, nullptr, 0, &s.trns);
    }
    png_write_info(png, info);
    std::vector<png_bytep> ptrs;
    for (const auto& r : rows)
    {
        ptrs.push_back(const_cast<png_bytep>(r.data()));
    }
    png_write_image(png, ptrs.data());
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return out;
}

std::vector<uint32_t> Decode(const std::vector<unsigned char>& data, int& w, int& h)
{
    std::vector<uint32_t> px;
    LICE_IBitmap* b = DecodePngMemory(data.data(), data.size());
    if (!b)
    {
        w = h = -1;
        return px;
    }
    w = b->Width();
    h = b->Height();
    for (int y = 0; y < h; ++y)
    {
        for (int x = 0; x < w; ++x)
        {
            px.push_back(b->Bits()[y * b->RowSpan() + x]);
        }
    }
    delete b;
    return px;
}

std::vector<unsigned char> SmallRgba()
{
    PngSpec s;
    return Encode(s, {{0x10, 0x20, 0x30, 0x80, 0xFF, 0, 0, 0xFF, 0, 0, 0, 0},
                      {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}});
}
} // namespace

TEST(PngDecode, RgbaKeepsStraightAlphaAndRowAlignment)
{
    const std::vector<unsigned char> data = SmallRgba();
    LICE_IBitmap* b = DecodePngMemory(data.data(), data.size());
    ASSERT_NE(nullptr, b);
    EXPECT_EQ(3, b->Width());
    EXPECT_EQ(2, b->Height());
    EXPECT_EQ(4, b->RowSpan());
    EXPECT_EQ(0u, reinterpret_cast<uintptr_t>(b->Bits()) % 64);
    const uint32_t* p = b->Bits();
    EXPECT_EQ(0x80102030u, p[0]);
    EXPECT_EQ(0xFFFF0000u, p[1]);
    EXPECT_EQ(0x00000000u, p[2]);
    EXPECT_EQ(0x04010203u, p[4]);
    EXPECT_EQ(0x0C090A0Bu, p[6]);
    delete b;
}

TEST(PngDecode, EveryColourTypeArrivesAsArgb)
{
    int w;
    int h;
    // RGB: opaque.
    {
        PngSpec s;
        s.type = PNG_COLOR_TYPE_RGB;
        auto px = Decode(
            Encode(s, {{1, 2, 3, 4, 5, 6, 7, 8, 9}, {10, 11, 12, 13, 14, 15, 16, 17, 18}}), w, h);
        ASSERT_EQ(6u, px.size());
        EXPECT_EQ(0xFF010203u, px[0]);
        EXPECT_EQ(0xFF101112u, px[5]);
    }
    // 16-bit RGBA keeps the high bytes.
    {
        PngSpec s;
        s.width = 1;
        s.height = 1;
        s.depth = 16;
        auto px = Decode(Encode(s, {{0xAB, 0x01, 0xCD, 0x02, 0xEF, 0x03, 0x7F, 0x04}}), w, h);
        ASSERT_EQ(1u, px.size());
        EXPECT_EQ(0x7FABCDEFu, px[0]);
    }
    // Grey, 8 and 1 bit.
    {
        PngSpec s;
        s.type = PNG_COLOR_TYPE_GRAY;
        s.height = 1;
        auto px = Decode(Encode(s, {{0x00, 0x80, 0xFF}}), w, h);
        ASSERT_EQ(3u, px.size());
        EXPECT_EQ(0xFF000000u, px[0]);
        EXPECT_EQ(0xFF808080u, px[1]);
        EXPECT_EQ(0xFFFFFFFFu, px[2]);
        s.depth = 1;
        px = Decode(Encode(s, {{0xA0}}), w, h); // 1 0 1
        ASSERT_EQ(3u, px.size());
        EXPECT_EQ(0xFFFFFFFFu, px[0]);
        EXPECT_EQ(0xFF000000u, px[1]);
        EXPECT_EQ(0xFFFFFFFFu, px[2]);
    }
    // Grey with alpha, 16 bit.
    {
        PngSpec s;
        s.type = PNG_COLOR_TYPE_GRAY_ALPHA;
        s.depth = 16;
        s.width = 2;
        s.height = 1;
        auto px = Decode(Encode(s, {{0x40, 0, 0x20, 0, 0xC0, 0, 0xFF, 0xFF}}), w, h);
        ASSERT_EQ(2u, px.size());
        EXPECT_EQ(0x20404040u, px[0]);
        EXPECT_EQ(0xFFC0C0C0u, px[1]);
    }
    // Grey with a transparent grey level.
    {
        PngSpec s;
        s.type = PNG_COLOR_TYPE_GRAY;
        s.height = 1;
        s.trnsColour = true;
        s.trns.gray = 0x80;
        auto px = Decode(Encode(s, {{0x00, 0x80, 0xFF}}), w, h);
        ASSERT_EQ(3u, px.size());
        EXPECT_EQ(0xFF000000u, px[0]);
        EXPECT_EQ(0x00808080u, px[1]);
    }
    // RGB with a transparent colour.
    {
        PngSpec s;
        s.type = PNG_COLOR_TYPE_RGB;
        s.width = 2;
        s.height = 1;
        s.trnsColour = true;
        s.trns.red = 1;
        s.trns.green = 2;
        s.trns.blue = 3;
        auto px = Decode(Encode(s, {{1, 2, 3, 4, 5, 6}}), w, h);
        ASSERT_EQ(2u, px.size());
        EXPECT_EQ(0x00010203u, px[0]);
        EXPECT_EQ(0xFF040506u, px[1]);
    }
}

TEST(PngDecode, PaletteImagesIncludingTransparency)
{
    int w;
    int h;
    PngSpec s;
    s.type = PNG_COLOR_TYPE_PALETTE;
    s.palette = {{0x10, 0x20, 0x30}, {0xFF, 0x00, 0x80}, {0x00, 0xFF, 0x00}};
    s.height = 1;
    auto px = Decode(Encode(s, {{2, 0, 1}}), w, h);
    ASSERT_EQ(3u, px.size());
    EXPECT_EQ(0xFF00FF00u, px[0]);
    EXPECT_EQ(0xFF102030u, px[1]);
    EXPECT_EQ(0xFFFF0080u, px[2]);

    s.trnsAlpha = {0x00, 0x7F};
    px = Decode(Encode(s, {{2, 0, 1}}), w, h);
    ASSERT_EQ(3u, px.size());
    EXPECT_EQ(0xFF00FF00u, px[0]); // entries beyond the tRNS list are opaque
    EXPECT_EQ(0x00102030u, px[1]);
    EXPECT_EQ(0x7FFF0080u, px[2]);

    // 4-bit palette, interlaced.
    s.depth = 4;
    s.interlace = true;
    s.width = 4;
    s.height = 3;
    px = Decode(Encode(s, {{0x01, 0x20}, {0x12, 0x00}, {0x22, 0x11}}), w, h);
    ASSERT_EQ(12u, px.size());
    EXPECT_EQ(0x00102030u, px[0]);
    EXPECT_EQ(0x7FFF0080u, px[1]);
    EXPECT_EQ(0xFF00FF00u, px[2]);
    EXPECT_EQ(0x7FFF0080u, px[4]);
    EXPECT_EQ(0x7FFF0080u, px[11]);
}

TEST(PngDecode, RejectsBadInput)
{
    const std::vector<unsigned char> good = SmallRgba();
    EXPECT_EQ(nullptr, DecodePngMemory(good.data(), 7));
    EXPECT_EQ(nullptr, DecodePngMemory(nullptr, 100));
    std::vector<unsigned char> bad = good;
    bad[1] = 'Q';
    EXPECT_EQ(nullptr, DecodePngMemory(bad.data(), bad.size()));

    // Every truncation fails cleanly; the decoder reads only what it is given
    // (an exactly sized heap copy lets the sanitizer catch any overread).
    for (size_t n = 8; n < good.size(); ++n)
    {
        std::vector<unsigned char> cut(good.begin(), good.begin() + static_cast<long>(n));
        cut.shrink_to_fit();
        LICE_IBitmap* b = DecodePngMemory(cut.data(), cut.size());
        // Only the trailing IEND chunk may be missing.
        if (n < good.size() - 12)
        {
            EXPECT_EQ(nullptr, b) << n;
        }
        delete b;
    }

    // A damaged pixel chunk fails its checksum.
    std::vector<unsigned char> corrupt = good;
    corrupt[good.size() - 20] ^= 0x5A;
    EXPECT_EQ(nullptr, DecodePngMemory(corrupt.data(), corrupt.size()));

    // A chunk after the header that claims 2 GB of data it does not have is
    // refused before the decoder sets memory aside for it (the fuzzer's
    // memory limit catches the allocation itself).
    std::vector<unsigned char> forged(good.begin(), good.begin() + 33);
    for (int c : {0x7f, 0x00, 0x00, 0x00, int{'s'}, int{'P'}, int{'L'}, int{'T'}, int{'E'}, 0x00})
        forged.push_back(static_cast<unsigned char>(c));
    forged.insert(forged.end(), good.begin() + 33, good.end());
    EXPECT_EQ(nullptr, DecodePngMemory(forged.data(), forged.size()));
}

TEST(PngDecode, HugeHeadersAreRefusedBeforeAllocating)
{
    // A valid header that claims an enormous image, followed by nothing.
    auto withSize = [](uint32_t w, uint32_t h)
    {
        PngSpec s;
        s.width = 1;
        s.height = 1;
        std::vector<unsigned char> png = Encode(s, {{1, 2, 3, 4}});
        auto put = [&](size_t at, uint32_t v)
        {
            png[at] = static_cast<unsigned char>(v >> 24);
            png[at + 1] = static_cast<unsigned char>(v >> 16);
            png[at + 2] = static_cast<unsigned char>(v >> 8);
            png[at + 3] = static_cast<unsigned char>(v);
        };
        put(16, w);
        put(20, h);
        const uint32_t crc = static_cast<uint32_t>(crc32(0, png.data() + 12, 17));
        put(29, crc);
        return png;
    };
    for (auto [w, h] : {std::pair<uint32_t, uint32_t>{1000000, 1000000},
                        {16384, 16384},
                        {65536, 1},
                        {8000, 8000}})
    {
        std::vector<unsigned char> png = withSize(w, h);
        EXPECT_EQ(nullptr, DecodePngMemory(png.data(), png.size())) << w << "x" << h;
    }
    // Within the limits but with too little data: still nothing.
    std::vector<unsigned char> png = withSize(2000, 2000);
    EXPECT_EQ(nullptr, DecodePngMemory(png.data(), png.size()));

    // The refusal comes before any pixel memory is asked for: a target that
    // counts its resizes is never resized just past a limit, and is right
    // at it (it then stays empty, and the truncated image fails).
    struct CountingTarget : LICE_IBitmap
    {
        int resizes = 0;
        uint32_t* Bits() override { return nullptr; }
        int Width() override { return 0; }
        int Height() override { return 0; }
        int RowSpan() override { return 0; }
        bool Resize(int, int) override { return ++resizes, false; }
    };
    for (auto [w, h, allowed] : {std::tuple<uint32_t, uint32_t, int>{16385, 1, 0},
                                 {1, 16385, 0},
                                 {4097, 4096, 0},
                                 {16384, 1, 1},
                                 {4096, 4096, 1}})
    {
        CountingTarget target;
        std::vector<unsigned char> data = withSize(w, h);
        EXPECT_EQ(nullptr, DecodePngMemory(data.data(), data.size(), &target));
        EXPECT_EQ(target.resizes, allowed) << w << "x" << h;
    }
}

TEST(PngDecode, DecodesIntoAGivenTarget)
{
    const std::vector<unsigned char> data = SmallRgba();
    LICE_MemBitmap target(10, 10);
    EXPECT_EQ(&target, DecodePngMemory(data.data(), data.size(), &target));
    EXPECT_EQ(3, target.Width());
    EXPECT_EQ(0x80102030u, target.Bits()[0]);
}

TEST(ImageResources, ExtensionChoosesTheDecoder)
{
    EXPECT_TRUE(HasPngExtension("img/knob.png"));
    EXPECT_TRUE(HasPngExtension("img/KNOB.PNG"));
    EXPECT_TRUE(HasPngExtension("a.b.Png"));
    EXPECT_FALSE(HasPngExtension("img/knob.bmp"));
    EXPECT_FALSE(HasPngExtension("img/knob"));
    EXPECT_FALSE(HasPngExtension("knob.pngx"));
    EXPECT_FALSE(HasPngExtension(nullptr));
    EXPECT_EQ(nullptr, LoadBitmapResource(101, "img/knob-24x101-simple.bmp"));
    EXPECT_EQ(nullptr, LoadBitmapResource(101, "knob"));
    EXPECT_EQ(nullptr, LoadBitmapResource(999, "missing.png"));
}

// The images are resources of this executable (Windows) or its image table.
TEST(ImageResources, EmbeddedImagesDecode)
{
    LICE_IBitmap* bg = LoadBitmapResource(100, "img/delay-bg_v2.png");
    ASSERT_NE(nullptr, bg);
    EXPECT_EQ(720, bg->Width());
    EXPECT_EQ(650, bg->Height());
    bool opaque = true;
    for (int y = 0; y < 650; ++y)
    {
        for (int x = 0; x < 720; ++x)
        {
            opaque = opaque && (bg->Bits()[y * bg->RowSpan() + x] >> 24) == 0xFF;
        }
    }
    EXPECT_TRUE(opaque);
    delete bg;

    const struct
    {
        int id;
        int w;
        int h;
    } sizes[] = {{101, 24, 2424}, {102, 40, 4040}, {103, 35, 42}, {104, 12, 24},   {105, 24, 80},
                 {106, 8, 216},   {107, 14, 42},   {108, 14, 28}, {109, 14, 28},   {110, 50, 1414},
                 {111, 32, 3232}, {112, 14, 28},   {113, 4, 400}, {114, 32, 3232}, {115, 12, 24},
                 {116, 16, 32},   {117, 24, 96}};
    for (const auto& s : sizes)
    {
        LICE_IBitmap* b = DecodePngResource(nullptr, s.id);
        ASSERT_NE(nullptr, b) << s.id;
        EXPECT_EQ(s.w, b->Width()) << s.id;
        EXPECT_EQ(s.h, b->Height()) << s.id;
        delete b;
    }
}

namespace
{
// Reports its destruction, to see what the cache frees.
class Tracked : public LICE_MemBitmap
{
public:
    explicit Tracked(bool* gone) : LICE_MemBitmap(2, 2), gone_(gone) {}
    ~Tracked() override { *gone_ = true; }

private:
    bool* gone_;
};
} // namespace

TEST(BitmapCache, DecodesOnceAndFreesOnDrop)
{
    BitmapCache::Clear();
    LICE_IBitmap* a = BitmapCache::Load(101, "img/knob-24x101-simple.png");
    ASSERT_NE(nullptr, a);
    EXPECT_EQ(a, BitmapCache::Load(101, "img/knob-24x101-simple.png"));
    EXPECT_EQ(1, BitmapCache::Count());
    EXPECT_EQ(nullptr, BitmapCache::Load(999, "nothing.png"));
    EXPECT_EQ(nullptr, BitmapCache::Load(102, "knob.bmp"));
    EXPECT_EQ(1, BitmapCache::Count());

    bool gone = false;
    Tracked* t = new Tracked(&gone);
    BitmapCache::Keep(t);
    EXPECT_EQ(t, BitmapCache::Find(BitmapCache::DerivedId));
    EXPECT_EQ(2, BitmapCache::Count());
    // Keeping a cached bitmap again adds no second owner.
    BitmapCache::Keep(t);
    BitmapCache::Keep(a);
    EXPECT_EQ(2, BitmapCache::Count());
    BitmapCache::Drop(t);
    EXPECT_TRUE(gone);
    EXPECT_EQ(1, BitmapCache::Count());
    LICE_MemBitmap stranger(1, 1);
    BitmapCache::Drop(&stranger); // not cached: left alone
    EXPECT_EQ(1, BitmapCache::Count());

    LICE_IBitmap* crop = BitmapCache::CroppedCopy(a, 0, 24, 24, 24);
    ASSERT_NE(nullptr, crop);
    EXPECT_EQ(24, crop->Width());
    for (int y = 0; y < 24; ++y)
    {
        for (int x = 0; x < 24; ++x)
        {
            ASSERT_EQ(a->Bits()[(y + 24) * a->RowSpan() + x],
                      crop->Bits()[y * crop->RowSpan() + x]);
        }
    }
    LICE_IBitmap* scaled = BitmapCache::ScaledCopy(a, 12, 1212);
    ASSERT_NE(nullptr, scaled);
    EXPECT_EQ(1212, scaled->Height());
    EXPECT_EQ(3, BitmapCache::Count());
    BitmapCache::Clear();
    EXPECT_EQ(0, BitmapCache::Count());
}
