#pragma once

#include <cstddef>

// Images compiled into a module as byte arrays, where the platform has no
// resource section. The generated table source registers its entries from a
// static initialiser; lookups search every registered table.

struct ImageTableEntry
{
    int id;
    const unsigned char* data;
    std::size_t size;
};

void RegisterImageTable(const ImageTableEntry* entries, int count);

// First registered entry with the id.
bool FindImageTableEntry(int id, const unsigned char*& data, std::size_t& size);
