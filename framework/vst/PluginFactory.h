#pragma once

#include "framework/vst/VstAbi.h"

class IPlugVST;

// Creates the effect. Defined once by the effect itself; the module entry
// calls it for every instance the host asks for. hostCallback may be null.
IPlugVST* CreatePluginInstance(audioMasterCallback hostCallback);
