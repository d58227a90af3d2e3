#pragma once

#include <string>

// Loads a shared library (DLL / shared object) at run time, the way a host
// loads a plug-in module, and looks up its exported functions.
class DynamicLibrary
{
public:
    DynamicLibrary() = default;
    ~DynamicLibrary() { Close(); }

    DynamicLibrary(const DynamicLibrary&) = delete;
    DynamicLibrary& operator=(const DynamicLibrary&) = delete;

    // path is UTF-8. False (and Error() tells why) when it cannot be loaded.
    bool Open(const std::string& path);
    void Close();
    bool IsOpen() const { return mHandle != nullptr; }

    // Address of an exported function, or null.
    void* Symbol(const char* name) const;
    const std::string& Error() const { return mError; }

private:
    void* mHandle = nullptr;
    std::string mError;
};
