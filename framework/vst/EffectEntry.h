#pragma once

#include "framework/vst/VstAbi.h"

// One instance for a host: created under the process-wide instance lock with
// CreatePluginInstance, given at least one program, and returned as the
// record the host works with. Null when the effect cannot be created.
AEffect* CreateEffectInstance(audioMasterCallback hostCallback);
