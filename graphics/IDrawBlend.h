#pragma once

// How a drawing operation combines with what is already on the surface.
// An absent blend means BlendCopyAlpha at weight 1.
enum IDrawBlendKind
{
    BlendCopyAlpha = 0, // copy, weighted by the source alpha
    BlendOpaque = 1,    // copy, source alpha ignored
    BlendAdd = 2,       // add, weighted by the source alpha
    BlendDodge = 3      // colour dodge, weighted by the source alpha
};

struct IDrawBlend
{
    int kind = BlendCopyAlpha;
    float weight = 1.0f; // overall opacity, 0..1

    IDrawBlend() = default;
    IDrawBlend(int k, float w) : kind(k), weight(w) {}
};
