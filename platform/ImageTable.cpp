#include "platform/ImageTable.h"

#include <mutex>
#include <vector>

namespace
{
struct Table
{
    const ImageTableEntry* entries;
    int count;
};

// Function-local statics, so tables registered from other static
// initialisers find the registry constructed whatever the order.
std::mutex& RegistryLock()
{
    static std::mutex lock;
    return lock;
}

std::vector<Table>& Registry()
{
    static std::vector<Table> tables;
    return tables;
}
} // namespace

void RegisterImageTable(const ImageTableEntry* entries, int count)
{
    if (!entries || count <= 0)
    {
        return;
    }
    std::lock_guard<std::mutex> guard(RegistryLock());
    Registry().push_back(Table{entries, count});
}

bool FindImageTableEntry(int id, const unsigned char*& data, std::size_t& size)
{
    std::lock_guard<std::mutex> guard(RegistryLock());
    for (const Table& t : Registry())
    {
        for (int i = 0; i < t.count; ++i)
        {
            if (t.entries[i].id == id && t.entries[i].data)
            {
                data = t.entries[i].data;
                size = t.entries[i].size;
                return true;
            }
        }
    }
    return false;
}
