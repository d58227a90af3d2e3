#include "framework/IPlugProgram.h"

#include "framework/BoundedText.h"

void IPlugProgram::SetName(const char* name)
{
    CopyBoundedText(mName, name, kNameSize);
}
