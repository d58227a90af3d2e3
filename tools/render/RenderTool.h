#pragma once

#include "tools/render/EffectHost.h"
#include "tools/render/RenderOptions.h"

#include <ostream>
#include <string>
#include <vector>

namespace zelbor::render
{

// Exit codes of the tool.
constexpr int kExitOk = 0;
constexpr int kExitEffectFailed = 1;
constexpr int kExitUsage = 2;

// The whole command: parses args (without the program name), renders and
// writes; messages go to out (results) and err (progress, warnings, errors).
// errIsTerminal: err shows on a terminal, so progress may rewrite its line.
int RunRenderTool(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                  bool errIsTerminal = false);

// Applies tempo, rate and block size, then the setup, preset and --param
// values of the options to a freshly created host. Returns false with a
// message naming what was wrong (unknown parameter, value out of range,
// unreadable preset).
bool ConfigureEffect(EffectHost& host, const RenderOptions& options, double sampleRate,
                     std::string& error, std::ostream& warnings);

// Sets one parameter from a typed value, by name. Returns false with a
// message for an unknown name or a value outside the parameter's range.
bool ApplyParam(EffectHost& host, const ParamAssignment& assignment, std::string& error,
                std::ostream& warnings);

// Plain value of each parameter the host sees, listed with ranges and choices.
void ListParams(const EffectHost& host, std::ostream& out);

} // namespace zelbor::render
