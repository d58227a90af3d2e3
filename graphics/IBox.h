#pragma once

// Integer rectangle of the editor. right and bottom are exclusive. Only the
// box whose four fields are all zero counts as empty.
struct IBox
{
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;

    constexpr IBox() = default;
    constexpr IBox(int l, int t, int r, int b) : left(l), top(t), right(r), bottom(b) {}

    constexpr int W() const { return right - left; }
    constexpr int H() const { return bottom - top; }

    constexpr bool Empty() const { return left == 0 && top == 0 && right == 0 && bottom == 0; }

    // Hit test: the point lies inside a non-empty box.
    constexpr bool Contains(int x, int y) const
    {
        return !Empty() && x >= left && x < right && y >= top && y < bottom;
    }

    // Overlap test used to decide which controls a repaint reaches. The
    // comparisons on this box's right and bottom are inclusive and those on
    // its left and top exclusive, so a box whose right edge touches the
    // other's left edge intersects it, but not the other way round.
    constexpr bool Intersects(const IBox& b) const
    {
        return !Empty() && !b.Empty() && right >= b.left && left < b.right && bottom >= b.top &&
               top < b.bottom;
    }

    constexpr IBox Intersect(const IBox& b) const
    {
        if (!Intersects(b))
        {
            return IBox();
        }
        return IBox(left > b.left ? left : b.left, top > b.top ? top : b.top,
                    right < b.right ? right : b.right, bottom < b.bottom ? bottom : b.bottom);
    }

    constexpr IBox Union(const IBox& b) const
    {
        if (Empty())
        {
            return b;
        }
        if (b.Empty())
        {
            return *this;
        }
        return IBox(left < b.left ? left : b.left, top < b.top ? top : b.top,
                    right > b.right ? right : b.right, bottom > b.bottom ? bottom : b.bottom);
    }

    constexpr bool operator==(const IBox& b) const
    {
        return left == b.left && top == b.top && right == b.right && bottom == b.bottom;
    }
    constexpr bool operator!=(const IBox& b) const { return !(*this == b); }
};
