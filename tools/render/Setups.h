#pragma once

#include "tools/render/RenderOptions.h"

#include <string>
#include <vector>

namespace zelbor::render
{

// A named starting point: parameter values by name, in their own units,
// applied like --param on top of the effect's defaults.
struct Setup
{
    std::string name;
    std::string description;
    std::vector<ParamAssignment> params;
};

// The built-in setups, in the order --list-setups shows them.
const std::vector<Setup>& BuiltInSetups();
// Null when there is no setup of that name.
const Setup* FindSetup(const std::string& name);
// The setup --bench renders: all eight taps active and modulated.
const Setup& BenchSetup();

} // namespace zelbor::render
