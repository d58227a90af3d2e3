#include "graphics/IBitmapRef.h"
#include "graphics/IBox.h"
#include "graphics/IColorRGBA.h"
#include "graphics/IDrawBlend.h"
#include "graphics/IMouseKeys.h"
#include "graphics/ITextStyle.h"

#include <cstring>
#include <gtest/gtest.h>
#include <string>

TEST(IBox, EmptinessAndContainment)
{
    EXPECT_TRUE(IBox().Empty());
    EXPECT_FALSE(IBox(0, 0, 0, 5).Empty());
    const IBox b(2, 3, 6, 8);
    EXPECT_EQ(4, b.W());
    EXPECT_EQ(5, b.H());
    EXPECT_TRUE(b.Contains(2, 3));
    EXPECT_TRUE(b.Contains(5, 7));
    EXPECT_FALSE(b.Contains(6, 7));
    EXPECT_FALSE(b.Contains(5, 8));
    EXPECT_FALSE(b.Contains(1, 3));
    EXPECT_FALSE(IBox().Contains(0, 0));
}

TEST(IBox, IntersectsIsInclusiveOnTheRightAndBottomOnly)
{
    const IBox a(0, 0, 10, 10);
    const IBox right(10, 0, 20, 10);
    const IBox below(0, 10, 10, 20);
    EXPECT_TRUE(a.Intersects(right));
    EXPECT_FALSE(right.Intersects(a));
    EXPECT_TRUE(a.Intersects(below));
    EXPECT_FALSE(below.Intersects(a));
    EXPECT_FALSE(a.Intersects(IBox()));
    EXPECT_FALSE(IBox().Intersects(a));
    EXPECT_FALSE(a.Intersects(IBox(11, 0, 20, 10)));

    EXPECT_EQ(IBox(10, 0, 10, 10), a.Intersect(right));
    EXPECT_EQ(IBox(), right.Intersect(a));
    EXPECT_EQ(IBox(5, 2, 10, 10), a.Intersect(IBox(5, 2, 30, 30)));
}

TEST(IBox, Union)
{
    const IBox b(1, 2, 3, 4);
    EXPECT_EQ(b, IBox().Union(b));
    EXPECT_EQ(b, b.Union(IBox()));
    EXPECT_EQ(IBox(-1, 2, 3, 9), b.Union(IBox(-1, 5, 0, 9)));
    EXPECT_EQ(IBox(0, 0, 3, 5), b.Union(IBox(0, 0, 0, 5)));
}

TEST(IColorRGBA, PacksAsArgbWord)
{
    const IColorRGBA c(255, 16, 32, 48);
    EXPECT_EQ(0xFF102030u, c.Pack());
    EXPECT_EQ(c, IColorRGBA::Unpack(0xFF102030u));
    EXPECT_EQ(IColorRGBA(0x80, 0x12, 0x34, 0x56), IColorRGBA::Unpack(0x80123456u));
}

TEST(ITextStyle, CopiesFieldsButNeverTheFont)
{
    ITextStyle s("Arial", 14, IColorRGBA(255, 255, 255, 255), ITextStyle::Bold, ITextStyle::Centre,
                 90);
    int dummy = 0;
    s.font = &dummy;
    ITextStyle c(s);
    EXPECT_STREQ("Arial", c.face);
    EXPECT_EQ(14, c.size);
    EXPECT_EQ(IColorRGBA(255, 255, 255, 255), c.color);
    EXPECT_EQ(ITextStyle::Bold, c.style);
    EXPECT_EQ(ITextStyle::Centre, c.align);
    EXPECT_EQ(90, c.orientation);
    EXPECT_EQ(nullptr, c.font);
    ITextStyle d;
    d = s;
    EXPECT_EQ(nullptr, d.font);
    EXPECT_STREQ("Arial", d.face);

    // Face names are cut to 31 characters plus the terminating zero.
    ITextStyle longName(std::string(40, 'x').c_str(), 10, IColorRGBA());
    EXPECT_EQ(31u, std::strlen(longName.face));
}

TEST(EditorRecords, BitmapRefMouseKeysAndBlend)
{
    IBitmapRef ref(nullptr, 24, 2424, 101);
    EXPECT_EQ(24, ref.FrameHeight());
    EXPECT_EQ(1, IBitmapRef().frames);

    const IMouseKeys k = IMouseKeys::FromKeyState(0x1 | 0x4, true);
    EXPECT_TRUE(k.left);
    EXPECT_FALSE(k.right);
    EXPECT_TRUE(k.shift);
    EXPECT_FALSE(k.control);
    EXPECT_TRUE(k.alt);
    const IMouseKeys r = IMouseKeys::FromKeyState(0x2 | 0x8, false);
    EXPECT_TRUE(r.right);
    EXPECT_TRUE(r.control);
    EXPECT_FALSE(r.alt);

    const IDrawBlend blend;
    EXPECT_EQ(BlendCopyAlpha, blend.kind);
    EXPECT_EQ(1.0f, blend.weight);
}
