#include "raster/BitmapCache.h"

#include "raster/ImageLoader.h"
#include "raster/LICE_MemBitmap.h"
#include "raster/Raster.h"

#include <mutex>
#include <vector>

namespace
{
struct Entry
{
    int id;
    LICE_IBitmap* bitmap;
    LICE_IBitmap* twinOf = nullptr; // a twin's source
    int percent = 0;                // a twin's scale
};

struct Store
{
    std::mutex lock;
    std::vector<Entry> entries;

    // Unloading the module destroys every bitmap that is still cached.
    ~Store()
    {
        for (Entry& e : entries)
        {
            delete e.bitmap;
        }
    }
};

// Constructed on first use (also from other static initialisers) and
// destroyed at unload.
Store& TheStore()
{
    static Store store;
    return store;
}

LICE_IBitmap* FindLocked(Store& s, int id)
{
    for (const Entry& e : s.entries)
    {
        if (e.id == id)
        {
            return e.bitmap;
        }
    }
    return nullptr;
}
} // namespace

LICE_IBitmap* BitmapCache::Find(int id)
{
    Store& s = TheStore();
    std::lock_guard<std::mutex> guard(s.lock);
    return FindLocked(s, id);
}

void BitmapCache::Add(LICE_IBitmap* bitmap, int id)
{
    if (!bitmap)
    {
        return;
    }
    Store& s = TheStore();
    std::lock_guard<std::mutex> guard(s.lock);
    // A bitmap is held once: a second entry would destroy it twice.
    for (const Entry& e : s.entries)
    {
        if (e.bitmap == bitmap)
        {
            return;
        }
    }
    s.entries.push_back(Entry{id, bitmap});
}

bool BitmapCache::Remove(LICE_IBitmap* bitmap)
{
    if (!bitmap)
    {
        return false;
    }
    LICE_IBitmap* found = nullptr;
    std::vector<LICE_IBitmap*> twins;
    {
        Store& s = TheStore();
        std::lock_guard<std::mutex> guard(s.lock);
        for (auto it = s.entries.begin(); it != s.entries.end();)
        {
            if (it->bitmap == bitmap && !found)
            {
                found = it->bitmap;
                it = s.entries.erase(it);
            }
            else if (it->twinOf == bitmap)
            {
                twins.push_back(it->bitmap);
                it = s.entries.erase(it);
            }
            else
            {
                ++it;
            }
        }
    }
    for (LICE_IBitmap* twin : twins)
    {
        delete twin;
    }
    delete found;
    return found != nullptr;
}

void BitmapCache::Clear()
{
    std::vector<Entry> old;
    {
        Store& s = TheStore();
        std::lock_guard<std::mutex> guard(s.lock);
        old.swap(s.entries);
    }
    for (Entry& e : old)
    {
        delete e.bitmap;
    }
}

int BitmapCache::Count()
{
    Store& s = TheStore();
    std::lock_guard<std::mutex> guard(s.lock);
    return static_cast<int>(s.entries.size());
}

LICE_IBitmap* BitmapCache::Load(int id, const char* fileName)
{
    if (LICE_IBitmap* cached = Find(id))
    {
        return cached;
    }
    LICE_IBitmap* decoded = LoadBitmapResource(id, fileName);
    if (!decoded)
    {
        return nullptr;
    }
    // Another thread may have decoded the same image meanwhile: the first
    // one stored wins, so every caller shares a single bitmap.
    LICE_IBitmap* result = decoded;
    {
        Store& s = TheStore();
        std::lock_guard<std::mutex> guard(s.lock);
        if (LICE_IBitmap* cached = FindLocked(s, id))
        {
            result = cached;
        }
        else
        {
            s.entries.push_back(Entry{id, decoded});
        }
    }
    if (result != decoded)
    {
        delete decoded;
    }
    return result;
}

void BitmapCache::Keep(LICE_IBitmap* bitmap)
{
    Add(bitmap, DerivedId);
}

void BitmapCache::Drop(LICE_IBitmap* bitmap)
{
    Remove(bitmap);
}

LICE_IBitmap* BitmapCache::ScaledCopy(LICE_IBitmap* source, int w, int h)
{
    if (!source || w <= 0 || h <= 0)
    {
        return nullptr;
    }
    LICE_MemBitmap* copy = new LICE_MemBitmap(w, h, 4);
    RasterClearRect(copy, 0, 0, w, h, 0, 0);
    RasterScaledBlit(copy, source, 0, 0, w, h, 0.0f, 0.0f, static_cast<float>(source->Width()),
                     static_cast<float>(source->Height()), 1.0f,
                     RasterModeCopy | RasterFilterBilinear);
    Keep(copy);
    return copy;
}

LICE_IBitmap* BitmapCache::CroppedCopy(LICE_IBitmap* source, int x, int y, int w, int h)
{
    if (!source || w <= 0 || h <= 0)
    {
        return nullptr;
    }
    LICE_MemBitmap* copy = new LICE_MemBitmap(w, h, 4);
    RasterClearRect(copy, 0, 0, w, h, 0, 0);
    RasterBlit(copy, source, 0, 0, x, y, w, h, 1.0f, RasterModeCopy);
    Keep(copy);
    return copy;
}

int BitmapCache::IdOf(LICE_IBitmap* bitmap)
{
    Store& s = TheStore();
    std::lock_guard<std::mutex> guard(s.lock);
    for (const Entry& e : s.entries)
    {
        if (e.bitmap == bitmap && !e.twinOf)
        {
            return e.id;
        }
    }
    return DerivedId;
}

LICE_IBitmap* BitmapCache::Twin(LICE_IBitmap* source, int percent)
{
    Store& s = TheStore();
    std::lock_guard<std::mutex> guard(s.lock);
    for (const Entry& e : s.entries)
    {
        if (e.twinOf == source && e.percent == percent)
        {
            return e.bitmap;
        }
    }
    return nullptr;
}

LICE_IBitmap* BitmapCache::AddTwin(LICE_IBitmap* source, int percent, LICE_IBitmap* twin)
{
    if (!source || !twin)
    {
        delete twin;
        return nullptr;
    }
    LICE_IBitmap* stored = nullptr;
    {
        Store& s = TheStore();
        std::lock_guard<std::mutex> guard(s.lock);
        for (const Entry& e : s.entries)
        {
            if (e.twinOf == source && e.percent == percent)
            {
                stored = e.bitmap;
            }
        }
        if (!stored)
        {
            s.entries.push_back(Entry{DerivedId, twin, source, percent});
            return twin;
        }
    }
    delete twin;
    return stored;
}

LICE_IBitmap* BitmapCache::ScaledFrames(LICE_IBitmap* source, int frames, int w, int frameHeight)
{
    frames = frames > 0 ? frames : 1;
    if (!source || w <= 0 || frameHeight <= 0 || source->Height() < frames)
    {
        return nullptr;
    }
    const int height = frameHeight * frames;
    LICE_MemBitmap* copy = new LICE_MemBitmap(w, height, 4);
    RasterClearRect(copy, 0, 0, w, height, 0, 0);
    const int sourceFrame = source->Height() / frames;
    for (int f = 0; f < frames; ++f)
    {
        RasterScaledBlit(copy, source, 0, f * frameHeight, w, frameHeight, 0.0f,
                         static_cast<float>(f * sourceFrame), static_cast<float>(source->Width()),
                         static_cast<float>(sourceFrame), 1.0f,
                         RasterModeCopy | RasterFilterBilinear);
    }
    return copy;
}
