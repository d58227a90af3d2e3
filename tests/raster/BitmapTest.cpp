#include "raster/LICE_MemBitmap.h"
#include "raster/LICE_SysBitmap.h"

#include <cstdint>
#include <gtest/gtest.h>

TEST(MemBitmap, SpanAlignmentAndGrowth)
{
    LICE_MemBitmap b(3, 2, 4);
    EXPECT_EQ(3, b.Width());
    EXPECT_EQ(4, b.RowSpan());
    EXPECT_EQ(0u, reinterpret_cast<uintptr_t>(b.Bits()) % 64);
    EXPECT_EQ(32u, b.AllocatedBytes());

    EXPECT_EQ(5, LICE_MemBitmap(5, 1, 1).RowSpan());
    EXPECT_EQ(6, LICE_MemBitmap(5, 1, 6).RowSpan()); // alignment 6 keeps its lowest bit: 2
    EXPECT_EQ(16, LICE_MemBitmap(9, 1, 16).RowSpan());

    // Same size: nothing changes, the pixels stay.
    b.Bits()[5] = 0xDEADBEEFu;
    EXPECT_FALSE(b.Resize(3, 2));
    EXPECT_EQ(0xDEADBEEFu, b.Bits()[5]);

    // Growing allocates a quarter more than needed; a smaller size reuses it.
    EXPECT_TRUE(b.Resize(8, 10));
    EXPECT_EQ(400u, b.AllocatedBytes());
    EXPECT_TRUE(b.Resize(4, 4));
    EXPECT_EQ(400u, b.AllocatedBytes());
    EXPECT_TRUE(b.Resize(0, 4));
    EXPECT_EQ(nullptr, b.Bits());
    EXPECT_EQ(0, b.Width());
    EXPECT_EQ(0, b.Height());
}

TEST(MemBitmap, ImpossibleSizesGiveAnEmptyBitmap)
{
    LICE_MemBitmap b(2000000000, 2000000000);
    EXPECT_EQ(0, b.Width());
    EXPECT_EQ(0, b.Height());
    EXPECT_EQ(nullptr, b.Bits());
    LICE_MemBitmap n(-5, 3);
    EXPECT_EQ(0, n.Width());
    EXPECT_EQ(nullptr, n.Bits());
}

TEST(SysBitmap, ShrinkingKeepsTheSection)
{
    LICE_SysBitmap b(30, 20);
    ASSERT_NE(nullptr, b.Bits());
    EXPECT_EQ(30, b.Width());
    EXPECT_EQ(32, b.RowSpan());
    EXPECT_EQ(0u, b.Bits()[0]);
    uint32_t* bits = b.Bits();
    EXPECT_TRUE(b.Resize(10, 5));
    EXPECT_EQ(bits, b.Bits());
    EXPECT_EQ(32, b.RowSpan());
    EXPECT_FALSE(b.Resize(10, 5));
    EXPECT_TRUE(b.Resize(40, 5));
    EXPECT_EQ(40, b.RowSpan());
    EXPECT_FALSE(b.IsFlipped());
#ifdef _WIN32
    EXPECT_NE(nullptr, b.DeviceContext());
#else
    EXPECT_EQ(nullptr, b.DeviceContext());
#endif
    EXPECT_FALSE(b.Resize(0, 0));
    EXPECT_EQ(nullptr, b.Bits());
    EXPECT_EQ(0, b.Width());
}
