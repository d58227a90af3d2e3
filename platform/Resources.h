#pragma once

#include <cstddef>

// The editor's images embedded in the module. Windows: resources of type
// "PNG" with integer ids in the module's resource section. Elsewhere: the
// image table compiled into the module (platform/ImageTable.h).

// Sets the module whose resources are searched (Windows: the instance handle
// the module entry receives). Without it the instance stored with
// SetModuleInstance (platform/ModulePath.h) is used, and without that the
// module that contains this code: the plug-in module, or the executable for
// programs and tests.
void SetResourceModule(void* module);

// The module searched when no module is named.
void* ResourceModule();

// Finds the PNG resource with the id in the module (null: ResourceModule()).
// On success data and size describe read-only bytes that stay valid while
// the module is loaded.
bool FindImageResource(void* module, int id, const unsigned char*& data, std::size_t& size);
