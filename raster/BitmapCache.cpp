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
    {
        Store& s = TheStore();
        std::lock_guard<std::mutex> guard(s.lock);
        for (auto it = s.entries.begin(); it != s.entries.end(); ++it)
        {
            if (it->bitmap == bitmap)
            {
                found = it->bitmap;
                s.entries.erase(it);
                break;
            }
        }
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
