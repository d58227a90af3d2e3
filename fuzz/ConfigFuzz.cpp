// The configuration reader with any bytes: keys and values within their
// lengths and no key empty.

#include "presets/ConfigurationFileReader.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0) return 0;
    std::vector<uint8_t> bytes(data, data + size);
    FILE* file = fmemopen(bytes.data(), bytes.size(), "rb");
    if (file == nullptr) return 0;
    ConfigurationFileReader reader(file); // closes the file
    while (reader.NextEntry())
    {
        const size_t key = std::strlen(reader.Key());
        if (key == 0 || key > ConfigurationFileReader::kMaxKey ||
            std::strlen(reader.Value()) > ConfigurationFileReader::kMaxValue)
            __builtin_trap();
    }
    return 0;
}
