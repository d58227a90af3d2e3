#include "tools/render/RenderOptions.h"

#include "tools/render/TextNumbers.h"

#include <cmath>
#include <functional>
#include <map>

namespace zelbor::render
{
namespace
{

std::string RangeText(double lo, double hi)
{
    return FormatShort(lo) + " to " + FormatShort(hi);
}

bool ReadNumberIn(const std::string& option, const std::string& text, double lo, double hi,
                  double& out, std::string& error)
{
    double v = 0.0;
    if (!ParseNumber(text, v))
    {
        error = option + ": \"" + text + "\" is not a number";
        return false;
    }
    if (v < lo || v > hi)
    {
        error = option + ": " + text + " is outside the range " + RangeText(lo, hi);
        return false;
    }
    out = v;
    return true;
}

bool ReadTimeSignature(const std::string& text, int& num, int& den, std::string& error)
{
    const auto slash = text.find('/');
    long long n = 0;
    long long d = 0;
    if (slash == std::string::npos || !ParseInteger(text.substr(0, slash), n) ||
        !ParseInteger(text.substr(slash + 1), d))
    {
        error = "--timesig: \"" + text + "\" is not a time signature like 3/4";
        return false;
    }
    const bool powerOfTwo = d > 0 && (d & (d - 1)) == 0;
    if (n < 1 || n > 32 || !powerOfTwo || d > 32)
    {
        error = "--timesig: " + text +
                " is not usable (numerator 1 to 32, denominator 1, 2, 4, 8, 16 or 32)";
        return false;
    }
    num = int(n);
    den = int(d);
    return true;
}

} // namespace

ParseResult ParseArguments(const std::vector<std::string>& args)
{
    ParseResult result;
    RenderOptions& o = result.options;
    std::vector<std::string> positional;
    std::string& error = result.error;

    using Reader = std::function<bool(const std::string&)>;
    const std::map<std::string, Reader> withValue = {
        {"--param",
         [&](const std::string& v)
         {
             const auto eq = v.find('=');
             if (eq == std::string::npos || eq == 0)
             {
                 error = "--param: \"" + v + "\" is not of the form Name=value";
                 return false;
             }
             o.params.push_back({v.substr(0, eq), v.substr(eq + 1)});
             return true;
         }},
        {"--tempo", [&](const std::string& v)
         { return ReadNumberIn("--tempo", v, kMinTempo, kMaxTempo, o.tempo, error); }},
        {"--timesig", [&](const std::string& v)
         { return ReadTimeSignature(v, o.timeSigNumerator, o.timeSigDenominator, error); }},
        {"--rate",
         [&](const std::string& v)
         {
             o.sampleRateGiven = true;
             if (!ReadNumberIn("--rate", v, kMinSampleRate, kMaxSampleRate, o.sampleRate, error))
             {
                 return false;
             }
             if (o.sampleRate != std::floor(o.sampleRate))
             {
                 // A WAV file holds whole rates only; the effect would run at
                 // another rate than the file says.
                 error = "--rate: " + v + " is not a whole number of samples per second";
                 return false;
             }
             return true;
         }},
        {"--block",
         [&](const std::string& v)
         {
             long long n = 0;
             if (!ParseInteger(v, n) || n < 1 || n > kMaxBlockSize)
             {
                 error = "--block: \"" + v + "\" is not a block size from 1 to " +
                         std::to_string(kMaxBlockSize);
                 return false;
             }
             o.blockSize = int(n);
             return true;
         }},
        {"--tail", [&](const std::string& v)
         { return ReadNumberIn("--tail", v, 0.0, kMaxTailSeconds, o.tailSeconds, error); }},
        {"--preroll",
         [&](const std::string& v) {
             return ReadNumberIn("--preroll", v, 0.0, kMaxPrerollSeconds, o.prerollSeconds, error);
         }},
        {"--preset",
         [&](const std::string& v)
         {
             if (v.empty())
             {
                 error = "--preset: no file named";
                 return false;
             }
             o.presetPath = v;
             return true;
         }},
        {"--setup",
         [&](const std::string& v)
         {
             o.setupName = v;
             return true;
         }},
        {"--png",
         [&](const std::string& v)
         {
             o.picturePath = v;
             return true;
         }},
        {"--editor-png",
         [&](const std::string& v)
         {
             o.editorPicturePath = v;
             return true;
         }},
        {"--editor-size",
         [&](const std::string& v)
         {
             long long n = 0;
             if (!ParseInteger(v, n) || n < 100 || n > 200 || n % 25 != 0)
             {
                 error = "--editor-size: \"" + v + "\" is not one of 100, 125, 150, 175 and 200";
                 return false;
             }
             o.editorScale = int(n);
             return true;
         }},
    };
    const std::map<std::string, bool*> flags = {
        {"--double", &o.useDouble},
        {"--dry", &o.dry},
        {"--quiet", &o.quiet},
        {"-q", &o.quiet},
        {"--stats", &o.stats},
        {"--bench", &o.bench},
        {"--list-params", &o.listParams},
        {"--list-setups", &o.listSetups},
        {"--help", &o.help},
        {"-h", &o.help},
    };

    for (std::size_t i = 0; i < args.size(); ++i)
    {
        const std::string& arg = args[i];
        if (arg.size() > 1 && arg[0] == '-')
        {
            std::string name = arg;
            std::string value;
            bool inlineValue = false;
            const auto eq = arg.find('=');
            if (arg.rfind("--", 0) == 0 && eq != std::string::npos)
            {
                name = arg.substr(0, eq);
                value = arg.substr(eq + 1);
                inlineValue = true;
            }
            if (const auto f = flags.find(name); f != flags.end() && !inlineValue)
            {
                *f->second = true;
                continue;
            }
            const auto r = withValue.find(name);
            if (r == withValue.end())
            {
                error = "unknown option " + name + " (see --help)";
                return result;
            }
            if (!inlineValue)
            {
                if (i + 1 >= args.size())
                {
                    error = name + " needs a value (see --help)";
                    return result;
                }
                value = args[++i];
            }
            if (!r->second(value))
            {
                return result;
            }
            continue;
        }
        positional.push_back(arg);
    }

    if (o.help)
    {
        result.ok = true;
        return result;
    }
    if (positional.size() > 2)
    {
        error = "too many files: \"" + positional[2] + "\" (give [IN.wav] OUT.wav)";
        return result;
    }
    if (o.bench && !positional.empty())
    {
        error = "--bench renders noise and writes no file; it takes no file names";
        return result;
    }
    if (o.dry && (!o.params.empty() || !o.presetPath.empty() || !o.setupName.empty()))
    {
        error = "--dry writes the input without the effect; it takes no --param, --preset or "
                "--setup";
        return result;
    }
    const bool editorOnly = !o.editorPicturePath.empty();
    if (editorOnly && (!positional.empty() || o.bench || o.dry || !o.picturePath.empty()))
    {
        error = "--editor-png draws the editor and writes no audio; it takes no file names, "
                "--png, --dry or --bench";
        return result;
    }
    const bool listingOnly = o.listParams || o.listSetups;
    if (positional.empty() && !listingOnly && !o.bench && !editorOnly)
    {
        error = "no output file given (usage: zelbor-render [IN.wav] OUT.wav [options]; see "
                "--help)";
        return result;
    }
    if (positional.size() == 2)
    {
        o.inputPath = positional[0];
        o.outputPath = positional[1];
    }
    else if (positional.size() == 1)
    {
        o.outputPath = positional[0];
    }
    result.ok = true;
    return result;
}

std::string UsageText()
{
    return R"(usage: zelbor-render [IN.wav] OUT.wav [options]
       zelbor-render --editor-png FILE [--setup|--preset|--param ...]

Renders audio through the Zelbor delay exactly as a host does: the effect is
created through its VST 2 entry point and driven through its dispatcher and
process callbacks, with tempo, time signature and a running transport given
to it on request. Without IN.wav a built-in demo phrase (plucked notes and
percussion, a few bars at the host tempo) is rendered. The output is a 32-bit
float stereo WAV at the input's rate, followed by the echoes' tail.

options:
  --param Name=value   set a parameter in its own units, by name; may repeat
                       (--param Time_A=375 --param Mode_B=bpm
                        --param Bpm_B="1/8 d"); choices by their texts.
                       Applied after --setup and --preset.
  --setup NAME         start from a named built-in setup (see --list-setups)
  --preset FILE        load a .preset file before the --param overrides
  --tempo BPM          host tempo, 20 to 999 (default 120)
  --timesig N/D        host time signature (default 4/4)
  --rate HZ            sample rate of the demo phrase and --bench (default
                       44100); with IN.wav it must match the file's rate
  --block N            host block size, 1 to 16384 (default 512)
  --tail SECONDS       tail after the input ends, 0 to 300 (default: until
                       the output has stayed below -90 dBFS for longer than
                       the setting's longest echo path, at most 30 s)
  --preroll SECONDS    silence run through the effect before the input, with
                       the transport stopped, as a DAW runs a loaded effect
                       before playback starts: once switched on, the effect
                       fades its output in, and the music should start after
                       that, not during it (default: the 150 blocks of at
                       most 512 frames the fade-in takes; 0 to start at
                       once; never written to the output)
  --double             use the 64-bit process callback
  --dry                write the input without the effect (no tail)
  --png FILE           also draw the waveform (dry and wet overlaid, the echo
                       times of the setting marked) as a PNG picture
  --editor-png FILE    draw the effect's editor, as set by --setup, --preset
                       and --param, into a PNG picture after a few seconds
                       of the demo phrase (so meters and the echo map show
                       it playing); writes no audio
  --editor-size PCT    the editor's size for --editor-png: 100 (720 x 650,
                       the default), 125, 150, 175 or 200 (1440 x 1300)
  --stats              print levels and the measured echo times
  --list-params        list the parameters with their ranges, choices and
                       values (after --setup, --preset and --param)
  --list-setups        list the built-in setups
  --bench              render 60 s of noise with all eight taps active and
                       print the real-time factor (no file written)
  --quiet, -q          no progress or summary on the terminal
  --help, -h           this text

Exit codes: 0 done; 1 the effect failed; 2 bad arguments, unknown parameter
or value out of range, unreadable input or unwritable output (no output file
is left behind).
)";
}

} // namespace zelbor::render
