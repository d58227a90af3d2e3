#include "framework/IPlugProgram.h"

#include <cstring>

void IPlugProgram::SetName(const char* name)
{
    if (!name)
        name = "";
    size_t n = std::strlen(name);
    if (n > kNameSize - 1)
        n = kNameSize - 1;
    std::memcpy(mName, name, n);
    mName[n] = 0;
}
