#pragma once

#include "raster/LICE_IBitmap.h"

// The process-wide store of the editor's bitmaps. It owns every bitmap in it;
// entries are kept in insertion order, each under an id: the resource id for
// decoded images, -1 for derived (scaled, cropped or kept) bitmaps. Every
// operation holds the cache's lock for its whole duration; decoding runs
// outside it. Everything left is destroyed when the module unloads.
class BitmapCache
{
public:
    enum
    {
        DerivedId = -1
    };

    // First bitmap stored under the id, or null.
    static LICE_IBitmap* Find(int id);
    // Takes ownership of the bitmap (null is ignored). A bitmap the cache
    // already holds keeps its one entry.
    static void Add(LICE_IBitmap* bitmap, int id);
    // Removes the entry holding the bitmap and destroys the bitmap; returns
    // false (and does nothing) when the cache does not hold it.
    static bool Remove(LICE_IBitmap* bitmap);
    // Destroys every bitmap and entry.
    static void Clear();
    static int Count();

    // The cached bitmap for the id, decoding the embedded image on the first
    // request (see LoadBitmapResource). Null when it cannot be decoded; then
    // nothing is cached. Each image is decoded once per process.
    static LICE_IBitmap* Load(int id, const char* fileName);
    // Hands a bitmap to the cache under the derived id.
    static void Keep(LICE_IBitmap* bitmap);
    // Removes and destroys a cached bitmap; unknown bitmaps are left alone.
    static void Drop(LICE_IBitmap* bitmap);
    // A new w x h copy of the whole source, scaled with bilinear filtering,
    // kept in the cache. Null without a source or for an empty size.
    static LICE_IBitmap* ScaledCopy(LICE_IBitmap* source, int w, int h);
    // A new copy of the rectangle (x, y, w, h) of the source, kept in the
    // cache. Null without a source or for an empty size.
    static LICE_IBitmap* CroppedCopy(LICE_IBitmap* source, int x, int y, int w, int h);

    // The id a bitmap is cached under; DerivedId for derived or unknown ones.
    static int IdOf(LICE_IBitmap* bitmap);
    // The cached twin of source for drawing at percent of its size, or null.
    static LICE_IBitmap* Twin(LICE_IBitmap* source, int percent);
    // Stores a twin (taking ownership) and answers the one stored: when
    // another thread stored one first, that one, and twin is destroyed.
    // Removing the source removes its twins.
    static LICE_IBitmap* AddTwin(LICE_IBitmap* source, int percent, LICE_IBitmap* twin);
    // A new bitmap (not cached) of source's frames, each scaled to
    // w x frameHeight with bilinear filtering and stacked in order, so a
    // filmstrip keeps its frame count. Null for an empty size.
    static LICE_IBitmap* ScaledFrames(LICE_IBitmap* source, int frames, int w, int frameHeight);
};
