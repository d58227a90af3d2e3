#include "platform/Resources.h"

#include "platform/ImageTable.h"

#include <atomic>

namespace
{
std::atomic<void*> gResourceModule{nullptr};
}

void SetResourceModule(void* module)
{
    gResourceModule.store(module);
}

void* ResourceModule()
{
    return gResourceModule.load();
}

// A process has one image table per module that embeds images; the module
// handle plays no part in the lookup.
bool FindImageResource(void*, int id, const unsigned char*& data, std::size_t& size)
{
    return FindImageTableEntry(id, data, size);
}
