#include "framework/vst/EffectEntry.h"

#include "framework/vst/IPlugVST.h"
#include "platform/PlugLock.h"

#include <new>

namespace
{
// Serialises instance creation across the process. Created on first use,
// destroyed at process exit; taken before any instance's own lock.
PlugLock& InstanceLock()
{
    static PlugLock lock;
    return lock;
}
} // namespace

AEffect* CreateEffectInstance(audioMasterCallback hostCallback, PluginFactoryProc factory)
{
    if (!factory) return nullptr;
    PlugLockGuard guard(InstanceLock());
    IPlugVST* plug = nullptr;
    try
    {
        plug = factory(hostCallback);
        if (!plug) return nullptr;
        PlugLockGuard plugGuard(plug->Lock());
        plug->EnsureDefaultProgram();
        AEffect* effect = plug->GetAEffect();
        if (effect->numPrograms < 1) effect->numPrograms = 1;
        return effect;
    }
    catch (...)
    {
        // Out of memory while building the effect: nothing may unwind into
        // the host, which is told that no instance exists.
        delete plug;
        return nullptr;
    }
}
