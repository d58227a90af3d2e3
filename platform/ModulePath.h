#pragma once

#include <string>

// Where the code that calls these functions was loaded from: the effect's
// own module (Zelbor.dll / Zelbor.so), or the executable when the code is
// linked into a program.

// Stores the module instance handle (Windows: the HINSTANCE that the module
// entry receives). Elsewhere the handle is only kept and handed back.
void SetModuleInstance(void* instance);

// The stored instance handle, or null before the module entry ran.
void* ModuleInstance();

// Full file name of the module, UTF-8; empty when it cannot be determined.
std::string ModuleFilePath();

// The module's folder up to and including the last path separator; empty
// when the path is unknown or has no separator.
std::string ModuleFolder();

// Full file name of the running program (the host when the code runs inside
// a loaded module), UTF-8; empty when it cannot be determined.
std::string ExecutableFilePath();

// The running program's folder up to and including the last path separator;
// empty when the path is unknown or has no separator.
std::string ExecutableFolder();
