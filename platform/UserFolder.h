#pragma once

#include <string>

// The folder for one user's settings of a program, ending in the path
// separator; empty when it cannot be known. Windows: %APPDATA%\<windowsName>\.
// Elsewhere: $XDG_CONFIG_HOME/<posixName>/ when that variable holds an
// absolute path, else $HOME/.config/<posixName>/. Nothing is created.
std::string UserSettingsFolder(const char* windowsName, const char* posixName);

// Creates the folder (a path ending in the separator or not) and every
// missing folder above it; true when it exists afterwards.
bool MakeFolders(const std::string& path);
