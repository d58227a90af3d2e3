#pragma once

#include "framework/vst/VstAbi.h"

class IPlugVST;

// Makes one effect object for a host (CreatePluginInstance in the module).
using PluginFactoryProc = IPlugVST* (*)(audioMasterCallback hostCallback);

// One instance for a host: created with factory under the process-wide
// instance lock, given at least one program, and returned as the record the
// host works with. Null when the effect cannot be created.
AEffect* CreateEffectInstance(audioMasterCallback hostCallback, PluginFactoryProc factory);
