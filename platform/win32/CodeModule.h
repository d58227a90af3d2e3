#pragma once

// The module this code is linked into (an HMODULE): the stored instance
// handle once the module entry ran, otherwise the module that contains this
// function - the plug-in DLL, or the executable when the code is linked into
// a program. Null when neither can be found.
void* CodeModule();
