// The module's exported entry points. The host looks up "VSTPluginMain" (or,
// in older hosts, "main") and calls it once per instance it wants.

#include "framework/vst/EffectEntry.h"
#include "framework/vst/PluginFactory.h"
#include "platform/ModulePath.h"

#ifdef _WIN32
#include <windows.h>

// Keeps the module handle for the configuration path and the editor's
// resources; succeeds for every reason code.
extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD, LPVOID)
{
    SetModuleInstance(instance);
    return TRUE;
}

// Exports are listed in Zelbor.def.
#define ZELBOR_ENTRY extern "C"
#else
// Everything else in the module is hidden.
#define ZELBOR_ENTRY extern "C" __attribute__((visibility("default")))
#endif

ZELBOR_ENTRY AEffect* VSTCALLBACK VSTPluginMain(audioMasterCallback hostCallback)
{
    return CreateEffectInstance(hostCallback, &CreatePluginInstance);
}

#ifdef ZELBOR_MODULE
// The same entry under the name "main". A C++ function cannot be called main,
// so the symbol name is given to the assembler directly (with the platform's
// prefix for C symbols, "_" on 32-bit Windows).
#define ZELBOR_STR2(x) #x
#define ZELBOR_STR(x) ZELBOR_STR2(x)
ZELBOR_ENTRY AEffect* VSTCALLBACK ZelborLegacyMain(audioMasterCallback hostCallback) __asm__(
    ZELBOR_STR(__USER_LABEL_PREFIX__) "main");

ZELBOR_ENTRY AEffect* VSTCALLBACK ZelborLegacyMain(audioMasterCallback hostCallback)
{
    return CreateEffectInstance(hostCallback, &CreatePluginInstance);
}
#endif
