#pragma once

#include <string>
#include <vector>

namespace zelbor::render
{

// One "--param Name=value" as typed; converted once the effect is loaded.
struct ParamAssignment
{
    std::string name;
    std::string value;
};

struct RenderOptions
{
    std::string inputPath;  // empty: the built-in demo phrase
    std::string outputPath; // empty only where no file is written
    std::vector<ParamAssignment> params;
    std::string presetPath;
    std::string setupName;
    std::string picturePath;
    std::string editorPicturePath; // --editor-png: the editor as a PNG picture
    int editorScale = 100;         // --editor-size: its size in per cent
    double tempo = 120.0;
    int timeSigNumerator = 4;
    int timeSigDenominator = 4;
    double sampleRate = 44100.0;
    bool sampleRateGiven = false;
    int blockSize = 512;
    double tailSeconds = -1.0;    // negative: computed from the settings
    double prerollSeconds = -1.0; // negative: what the output's fade-in needs
    bool useDouble = false;
    bool dry = false;
    bool quiet = false;
    bool stats = false;
    bool bench = false;
    bool listParams = false;
    bool listSetups = false;
    bool help = false;
};

struct ParseResult
{
    bool ok = false;
    std::string error;
    RenderOptions options;
};

// Reads the command line (without the program name). Numbers use "." as the
// decimal point whatever the locale.
ParseResult ParseArguments(const std::vector<std::string>& args);

// The --help text.
std::string UsageText();

// Limits of the numeric options, shared with the messages.
constexpr double kMinTempo = 20.0;
constexpr double kMaxTempo = 999.0;
constexpr double kMinSampleRate = 8000.0;
constexpr double kMaxSampleRate = 384000.0;
constexpr int kMaxBlockSize = 16384;
constexpr double kMaxTailSeconds = 300.0;
constexpr double kMaxPrerollSeconds = 30.0;

} // namespace zelbor::render
