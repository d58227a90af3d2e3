// The preset file reader with any bytes: every line it reports has a name of
// at most kPresetMaxName characters without a zero byte and a finite value,
// and it never reads past the end of the file.

#include "presets/PresetFile.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

namespace
{

class CheckingSink : public PresetLineSink
{
public:
    void Value(const char* name, double value) override
    {
        const size_t length = std::strlen(name);
        if (length == 0 || length > kPresetMaxName || !std::isfinite(value)) __builtin_trap();
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0) return 0;
    std::vector<uint8_t> bytes(data, data + size);
    FILE* file = fmemopen(bytes.data(), bytes.size(), "rb");
    if (file == nullptr) return 0;
    CheckingSink sink;
    ReadPresetStream(file, sink);
    std::fclose(file);
    return 0;
}
