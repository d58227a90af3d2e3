#include "framework/vst/PluginFactory.h"
#include "plugin/Delay.h"

#include <new>

IPlugVST* CreatePluginInstance(audioMasterCallback hostCallback)
{
    // Nothing may throw into the host: running out of memory while building
    // the engine gives no instance.
    try
    {
        return new Delay(hostCallback);
    }
    catch (const std::bad_alloc&)
    {
        return nullptr;
    }
}
