#include "tools/render/RenderTool.h"

#include "framework/IPlugBase.h"
#include "graphics/headless/IGraphicsHeadless.h"
#include "platform/FileOpen.h"
#include "plugin/Delay.h"
#include "presets/PresetFile.h"
#include "tools/render/DemoPhrase.h"
#include "tools/render/OutputFiles.h"
#include "tools/render/Renderer.h"
#include "tools/render/Setups.h"
#include "tools/render/TailMeasure.h"
#include "tools/render/TextNumbers.h"
#include "tools/render/WavFile.h"
#include "tools/render/WaveformPicture.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <iomanip>
#include <set>
#include <sstream>

namespace zelbor::render
{
namespace
{

constexpr double kDefaultTailCap = 30.0;
constexpr double kBenchSeconds = 60.0;

class NameCollector : public PresetLineSink
{
public:
    void Value(const char* name, double) override { names.emplace_back(name); }
    std::vector<std::string> names;
};

bool LoadPreset(EffectHost& host, const std::string& path, std::string& error,
                std::ostream& warnings)
{
    std::error_code ec;
    if (std::filesystem::is_directory(path, ec))
    {
        error = "cannot read preset " + path + ": it is a folder, not a preset file";
        return false;
    }
    if (!std::filesystem::is_regular_file(path, ec))
    {
        error = "cannot read preset " + path +
                (std::filesystem::exists(path, ec) ? ": not a regular file" : ": no such file");
        return false;
    }
    FILE* file = std::fopen(path.c_str(), "rb");
    if (!file)
    {
        error = "cannot read preset " + path;
        return false;
    }
    NameCollector lines;
    const bool headerOk = ReadPresetStream(file, lines);
    std::fclose(file);
    if (!headerOk)
    {
        error = "cannot use preset " + path + ": it does not start with a \"Delay V1.0\" header";
        return false;
    }
    for (const std::string& name : lines.names)
    {
        if (FindParamIndexByName(host.Plugin(), name.c_str()) < 0)
        {
            warnings << "zelbor-render: warning: preset " << path << " names parameter \"" << name
                     << "\", which the effect does not have; ignored\n";
        }
    }
    // The effect's own load, as its preset menu runs it: the values, the
    // preset name it keeps and the restarted fade-in.
    auto* delay = dynamic_cast<Delay*>(&host.PluginVST());
    if (!delay)
    {
        error = "cannot load preset " + path + ": the effect does not load presets";
        return false;
    }
    delay->LoadPresetFile(path.c_str());
    return true;
}

std::string Decibels(double linear)
{
    if (!(linear > 0.0))
    {
        return "-inf dB";
    }
    return FormatNumber(20.0 * std::log10(linear), 1) + " dB";
}

void PrintLevels(std::ostream& out, const char* what, const AudioBuffer& audio)
{
    for (int c = 0; c < 2; ++c)
    {
        const std::vector<float>& s = c == 0 ? audio.left : audio.right;
        double peak = 0.0;
        double sum = 0.0;
        for (float v : s)
        {
            peak = std::max(peak, double(std::fabs(v)));
            sum += double(v) * double(v);
        }
        const double rms = s.empty() ? 0.0 : std::sqrt(sum / double(s.size()));
        out << "  " << what << (c == 0 ? " L" : " R") << ": peak " << Decibels(peak) << ", rms "
            << Decibels(rms) << "\n";
    }
}

std::string Title(const RenderOptions& o)
{
    if (o.dry)
    {
        return "DRY";
    }
    if (!o.setupName.empty())
    {
        return o.setupName;
    }
    if (!o.presetPath.empty())
    {
        return std::filesystem::path(o.presetPath).stem().string();
    }
    return o.params.empty() ? "DEFAULTS" : "CUSTOM";
}

void PrintSummary(std::ostream& out, const RenderOptions& o, const AudioBuffer& input,
                  int fileChannels, const AudioBuffer& output, bool wet, double rtf)
{
    out << "wrote " << o.outputPath << ": " << FormatNumber(output.Seconds(), 2) << " s (";
    if (o.inputPath.empty())
    {
        out << "demo phrase ";
    }
    else
    {
        out << (fileChannels == 1 ? "mono input " : "input ");
    }
    out << FormatNumber(input.Seconds(), 2) << " s";
    if (wet)
    {
        out << " + tail " << FormatNumber(output.Seconds() - input.Seconds(), 2) << " s), ";
    }
    else
    {
        out << ", dry), ";
    }
    out << FormatShort(output.sampleRate) << " Hz, 32-bit float stereo";
    if (wet)
    {
        out << ", " << FormatNumber(rtf, 1) << "x real time";
    }
    out << "\n";
}

// A second instance with the same settings answers a single click, heard
// for a few times the longest echo path.
std::vector<EchoMark> ProbeEchoes(const RenderOptions& o, double rate, double longestEchoSeconds,
                                  const RenderSettings& settings)
{
    std::string error;
    std::ostringstream repeatedWarnings;
    auto probe = EffectHost::Create(error);
    if (!probe || !ConfigureEffect(*probe, o, rate, error, repeatedWarnings))
    {
        return {};
    }
    probe->Resume();
    const double seconds = std::clamp(longestEchoSeconds * 8.0 + 0.05, 0.25, 8.0);
    return MeasureEchoes(*probe, seconds, settings);
}

void PrintStats(std::ostream& out, const RenderOptions& o, const AudioBuffer& input,
                const AudioBuffer& output, const RenderSettings* settings,
                const std::vector<EchoMark>& echoes)
{
    out << "levels:\n";
    PrintLevels(out, "input ", input);
    PrintLevels(out, "output", output);
    if (!settings)
    {
        return;
    }
    const double kept = output.Seconds() - input.Seconds();
    if (o.tailSeconds >= 0.0)
    {
        out << "tail: " << FormatNumber(kept, 2) << " s, as given\n";
    }
    else
    {
        out << "tail: " << FormatNumber(kept, 2)
            << " s, until the output stayed below -90 dBFS (at most "
            << FormatNumber(settings->tailSeconds, 0) << " s)\n";
    }
    out << "echoes of a click (ms after it, level):" << (echoes.empty() ? " none" : "") << "\n";
    for (std::size_t i = 0; i < echoes.size() && i < 12; ++i)
    {
        out << "  " << FormatNumber(echoes[i].seconds * 1000.0, 1) << " ms  "
            << FormatNumber(echoes[i].levelDb, 1) << " dB\n";
    }
}

bool WritePicture(const RenderOptions& o, double rate, const AudioBuffer& input,
                  const AudioBuffer* output, const std::vector<EchoMark>& echoes,
                  std::string& error)
{
    PictureContent content;
    content.title = Title(o);
    content.subtitle = FormatShort(o.tempo) + " BPM  " + std::to_string(o.timeSigNumerator) + "/" +
                       std::to_string(o.timeSigDenominator) + "  " + FormatShort(rate) + " HZ";
    if (!o.inputPath.empty())
    {
        content.subtitle += "  " + std::filesystem::path(o.inputPath).filename().string();
    }
    content.dry = &input;
    content.wet = output;
    content.onsetSeconds = FirstOnsetSeconds(input);
    content.echoes = echoes;
    return DrawWaveform(content).WritePng(o.picturePath, error);
}

int RunBench(const RenderOptions& o, std::ostream& out, std::ostream& err)
{
    const double rate = o.sampleRate;
    const AudioBuffer noise = MakeNoise(rate, kBenchSeconds, 0.25f, 12345u);
    RenderSettings settings;
    settings.prerollSeconds = 0.0;
    settings.useDouble = o.useDouble;

    // Two runs in one process: the plain defaults (two taps) as the baseline,
    // then all eight taps.
    double seconds[2] = {0.0, 0.0};
    const char* kernel = "";
    for (int run = 0; run < 2; ++run)
    {
        std::string error;
        auto host = EffectHost::Create(error);
        if (!host)
        {
            err << "zelbor-render: " << error << "\n";
            return kExitEffectFailed;
        }
        RenderOptions config = o;
        config.params.clear();
        if (run == 1)
        {
            config.params = BenchSetup().params;
            config.params.insert(config.params.end(), o.params.begin(), o.params.end());
        }
        if (!ConfigureEffect(*host, config, rate, error, err))
        {
            err << "zelbor-render: " << error << "\n";
            return kExitUsage;
        }
        if (const auto* delay = dynamic_cast<const Delay*>(&host->Plugin()))
        {
            kernel = Delay::LaneKernelName(delay->ActiveLaneKernel());
        }
        host->Resume();
        const auto start = std::chrono::steady_clock::now();
        const AudioBuffer rendered = RenderThroughEffect(*host, noise, settings);
        seconds[run] =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (!AllFinite(rendered))
        {
            err << "zelbor-render: the effect produced samples that are not numbers\n";
            return kExitEffectFailed;
        }
    }
    const double rtfBase = kBenchSeconds / std::max(seconds[0], 1e-9);
    const double rtf = kBenchSeconds / std::max(seconds[1], 1e-9);
    out << "bench: " << FormatNumber(kBenchSeconds, 0) << " s of stereo noise at "
        << FormatNumber(rate, 0) << " Hz, block " << o.blockSize << ", "
        << (o.useDouble ? "64-bit" : "32-bit") << " process callback\n";
    out << "  lane kernel: " << kernel << "\n";
    out << "  eight taps active: " << FormatNumber(seconds[1], 3) << " s, " << FormatNumber(rtf, 1)
        << "x real time\n";
    out << "  baseline (defaults, two taps): " << FormatNumber(seconds[0], 3) << " s, "
        << FormatNumber(rtfBase, 1) << "x real time\n";
    out << "  eight taps cost " << FormatNumber(seconds[1] / std::max(seconds[0], 1e-9), 2)
        << " times the baseline\n";
    return kExitOk;
}

// The demo phrase runs this long before the editor is drawn: long enough
// for the meters (refreshed every 200 ms) and the echoes to show.
constexpr double kEditorPictureSeconds = 2.5;

// Draws the effect's editor after a stretch of the demo phrase. The editor
// is the one the effect builds for itself, on the window layer without a
// window.
int RunEditorPicture(const RenderOptions& o, std::ostream& out, std::ostream& err)
{
    std::string error;
    const std::string path = ResolveFileLinks(o.editorPicturePath.c_str());
    if (!CanCreateFile(path, error))
    {
        err << "zelbor-render: " << error << "\n";
        return kExitUsage;
    }
    auto host = EffectHost::Create(error);
    if (!host)
    {
        err << "zelbor-render: " << error << "\n";
        return kExitEffectFailed;
    }
    if (!ConfigureEffect(*host, o, o.sampleRate, error, err))
    {
        err << "zelbor-render: " << error << "\n";
        return kExitUsage;
    }
    auto* editor = dynamic_cast<IGraphicsHeadless*>(host->Plugin().GetEditor());
    if (!editor)
    {
        err << "zelbor-render: the effect has no editor to draw\n";
        return kExitEffectFailed;
    }
    host->Resume();
    AudioBuffer phrase = SynthesiseDemoPhrase(o.sampleRate, o.tempo);
    phrase.Resize(
        std::min(phrase.Frames(), static_cast<std::size_t>(kEditorPictureSeconds * o.sampleRate)));
    RenderSettings settings;
    settings.useDouble = o.useDouble;
    RenderThroughEffect(*host, phrase, settings);
    editor->SetScale(o.editorScale);
    editor->OpenEditorWindow(host.get());
    editor->PaintAll();
    const auto draw = [editor](const std::filesystem::path& temp)
    { return editor->SavePng(temp.string().c_str()); };
    std::string reason;
    if (!WriteThroughTemporary(path, draw, reason))
    {
        err << "zelbor-render: cannot write " << path << "\n";
        return kExitEffectFailed;
    }
    if (!o.quiet)
    {
        out << "editor: " << path << "\n";
    }
    return kExitOk;
}

const char kLetters[] = "ABCDEFGH";

// The source tap the engine really uses for a line: a requested Rx that
// would close a loop is refused by the effect while the parameter keeps the
// requested value.
int EngineSourceTap(EffectHost& host, int line)
{
    if (auto* delay = dynamic_cast<Delay*>(&host.PluginVST()))
    {
        return delay->Line(line).sourceTap;
    }
    return int(host.ValueByName(std::string("Rx_") + kLetters[line]));
}

void WarnAboutRefusedRouting(EffectHost& host, std::ostream& warnings)
{
    for (int t = 0; t < kNumTaps; ++t)
    {
        const std::string name = std::string("Rx_") + kLetters[t];
        const int index = host.FindParam(name);
        const int requested = int(host.ValueByName(name));
        const int used = EngineSourceTap(host, t);
        if (index >= 0 && requested != used)
        {
            const ParamDescription d = host.Describe(index);
            auto text = [&](int v)
            {
                for (const auto& [value, choice] : d.choices)
                {
                    if (value == v)
                    {
                        return choice;
                    }
                }
                return std::to_string(v);
            };
            warnings << "zelbor-render: warning: the effect refused " << name << "="
                     << text(requested) << ": it would feed line " << kLetters[t]
                     << " from its own signal path; the line keeps the source " << text(used)
                     << "\n";
        }
    }
}

} // namespace

bool ApplyParam(EffectHost& host, const ParamAssignment& a, std::string& error,
                std::ostream& warnings)
{
    const int index = host.FindParam(a.name);
    if (index < 0)
    {
        error = "unknown parameter \"" + a.name + "\"";
        const std::vector<std::string> similar = host.SimilarNames(a.name);
        if (!similar.empty())
        {
            error += "; did you mean ";
            for (std::size_t i = 0; i < similar.size(); ++i)
            {
                error += (i ? ", " : "") + similar[i];
            }
            error += "?";
        }
        error += " (see --list-params)";
        return false;
    }
    const ParamDescription d = host.Describe(index);
    const ParamConversion c = ConvertParamText(d, a.value);
    if (!c.ok)
    {
        error = c.error;
        return false;
    }
    const double held = host.SetPlainValue(index, c.plain);
    const double tolerance = d.isChoice ? 0.01 : 1e-4 * (d.maximum - d.minimum) + 1e-9;
    if (std::fabs(held - c.plain) > tolerance)
    {
        warnings << "zelbor-render: warning: " << a.name << " holds " << FormatShort(held)
                 << " after being set to " << FormatShort(c.plain) << "\n";
    }
    return true;
}

bool ConfigureEffect(EffectHost& host, const RenderOptions& o, double sampleRate,
                     std::string& error, std::ostream& warnings)
{
    if (o.useDouble && !host.Effect()->processDoubleReplacing)
    {
        error = "--double: the effect has no 64-bit process callback";
        return false;
    }
    host.SetTempo(o.tempo, o.timeSigNumerator, o.timeSigDenominator);
    host.Prepare(sampleRate, o.blockSize);
    if (!o.presetPath.empty() && !LoadPreset(host, o.presetPath, error, warnings))
    {
        return false;
    }
    if (!o.setupName.empty())
    {
        const Setup* setup = FindSetup(o.setupName);
        if (!setup)
        {
            error = "unknown setup \"" + o.setupName + "\" (see --list-setups)";
            return false;
        }
        for (const ParamAssignment& a : setup->params)
        {
            if (!ApplyParam(host, a, error, warnings))
            {
                error = "setup " + setup->name + ": " + error;
                return false;
            }
        }
    }
    for (const ParamAssignment& a : o.params)
    {
        if (!ApplyParam(host, a, error, warnings))
        {
            return false;
        }
    }
    WarnAboutRefusedRouting(host, warnings);
    return true;
}

void ListParams(const EffectHost& host, std::ostream& out)
{
    out << "index  name       value        range or choices\n";
    std::string previousRange;
    std::string previousName;
    for (int i = 0; i < host.ParamCount(); ++i)
    {
        const std::string name = host.ParamName(i);
        if (name.empty())
        {
            continue;
        }
        const ParamDescription d = host.Describe(i);
        std::string range = RangeText(d);
        // Long choice lists are shown once per family.
        const std::string family = name.substr(0, name.find('_'));
        if (range.size() > 40 && range == previousRange &&
            previousName.substr(0, previousName.find('_')) == family)
        {
            range = "as " + family + "_A";
        }
        else
        {
            previousRange = range;
            previousName = name;
        }
        std::string value = host.ParamDisplay(i);
        const std::string unit = UnitOf(name);
        if (!d.isChoice && !unit.empty())
        {
            value += " " + unit;
        }
        std::ostringstream line;
        line << std::setw(5) << i << "  " << std::left << std::setw(10) << name << " "
             << std::setw(12) << value << " " << range;
        out << line.str() << "\n";
    }
}

int RunRenderTool(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                  bool errIsTerminal)
{
    const ParseResult parsed = ParseArguments(args);
    if (!parsed.ok)
    {
        err << "zelbor-render: " << parsed.error << "\n";
        return kExitUsage;
    }
    const RenderOptions& o = parsed.options;
    if (o.help)
    {
        out << UsageText();
        return kExitOk;
    }
    if (!o.setupName.empty() && !o.presetPath.empty())
    {
        err << "zelbor-render: --setup and --preset both give every starting value; use one\n";
        return kExitUsage;
    }
    if (!o.setupName.empty() && !FindSetup(o.setupName))
    {
        err << "zelbor-render: unknown setup \"" << o.setupName << "\" (see --list-setups)\n";
        return kExitUsage;
    }
    if (o.listSetups)
    {
        for (const Setup& s : BuiltInSetups())
        {
            out << std::left << std::setw(10) << s.name << " " << s.description << "\n";
        }
        if (!o.listParams)
        {
            return kExitOk;
        }
    }
    if (o.bench)
    {
        return RunBench(o, out, err);
    }
    if (!o.editorPicturePath.empty())
    {
        return RunEditorPicture(o, out, err);
    }

    std::string error;
    // A symbolic link given as an output stays a link: the file it names is
    // written. Files that cannot be written are found before the render,
    // not after.
    const std::string outputPath = ResolveFileLinks(o.outputPath.c_str());
    const std::string picturePath = ResolveFileLinks(o.picturePath.c_str());
    // The input is read whole before anything is written, so a result named
    // like it, in any spelling, would replace it.
    const struct
    {
        const std::string& written;
        const std::string& kept;
        const char* message;
    } clashes[] = {
        {outputPath, o.inputPath, "the output would overwrite the input file"},
        {picturePath, o.inputPath, "--png: the picture would overwrite the input file"},
        {picturePath, outputPath, "--png: the picture would overwrite the output file"},
    };
    for (const auto& clash : clashes)
    {
        if (SameFile(clash.written, clash.kept))
        {
            err << "zelbor-render: " << clash.message << "\n";
            return kExitUsage;
        }
    }
    for (const std::string* path : {&outputPath, &picturePath})
    {
        if (!o.listParams && !path->empty() && !CanCreateFile(*path, error))
        {
            err << "zelbor-render: " << error << "\n";
            return kExitUsage;
        }
    }

    // The input fixes the rate; the demo phrase takes --rate.
    AudioBuffer input;
    int fileChannels = 2;
    if (!o.inputPath.empty())
    {
        if (!ReadAudioFile(o.inputPath, input, fileChannels, error, err))
        {
            err << "zelbor-render: " << error << "\n";
            return kExitUsage;
        }
        // The file's rate is held to what --rate accepts: the effect runs at
        // it and the pre-roll and tail are measured in it.
        if (!(input.sampleRate >= kMinSampleRate && input.sampleRate <= kMaxSampleRate))
        {
            err << "zelbor-render: cannot use " << o.inputPath << ": its sample rate "
                << FormatShort(input.sampleRate) << " Hz is outside the range "
                << FormatShort(kMinSampleRate) << " to " << FormatShort(kMaxSampleRate) << "\n";
            return kExitUsage;
        }
        if (o.sampleRateGiven && std::fabs(o.sampleRate - input.sampleRate) > 0.5)
        {
            err << "zelbor-render: --rate " << FormatShort(o.sampleRate)
                << " differs from the rate of " << o.inputPath << " ("
                << FormatShort(input.sampleRate)
                << " Hz); the output keeps the input's rate and nothing is resampled\n";
            return kExitUsage;
        }
    }
    else if (!o.listParams)
    {
        input = SynthesiseDemoPhrase(o.sampleRate, o.tempo);
    }
    const double rate = o.inputPath.empty() ? o.sampleRate : input.sampleRate;

    std::unique_ptr<EffectHost> host;
    if (!o.dry)
    {
        host = EffectHost::Create(error);
        if (!host)
        {
            err << "zelbor-render: " << error << "\n";
            return kExitEffectFailed;
        }
        if (!ConfigureEffect(*host, o, rate, error, err))
        {
            err << "zelbor-render: " << error << "\n";
            return kExitUsage;
        }
    }
    if (o.listParams)
    {
        if (!host)
        {
            err << "zelbor-render: --list-params needs the effect (not --dry)\n";
            return kExitUsage;
        }
        ListParams(*host, out);
        return kExitOk;
    }

    RenderSettings settings;
    settings.prerollSeconds = o.prerollSeconds;
    settings.useDouble = o.useDouble;
    if (o.tailSeconds >= 0.0)
    {
        settings.tailSeconds = o.tailSeconds;
    }
    else if (host)
    {
        settings.tailSeconds = kDefaultTailCap;
        settings.measureTail = true;
    }
    if (o.dry)
    {
        settings.tailSeconds = 0.0;
    }

    AudioBuffer output;
    double rtf = 0.0;
    if (host)
    {
        host->Resume();
        Progress progress(err, !o.quiet, input.Seconds() + settings.tailSeconds,
                          errIsTerminal ? Progress::Style::Terminal : Progress::Style::Lines);
        output = RenderThroughEffect(*host, input, settings, &progress);
        progress.Finish();
        // A measured tail usually ends well before its cap.
        rtf = progress.RealTimeFactor(progress.SecondsDone());
        if (!AllFinite(output))
        {
            err << "zelbor-render: the effect produced samples that are not numbers; nothing "
                   "written\n";
            return kExitEffectFailed;
        }
    }
    else
    {
        output = input;
    }

    std::vector<EchoMark> echoes;
    if (host && (!o.picturePath.empty() || o.stats))
    {
        echoes = ProbeEchoes(o, rate, LongestEchoSeconds(*host), settings);
    }
    // The picture first: should either file fail, neither is left behind.
    RenderOptions written = o;
    written.outputPath = outputPath;
    written.picturePath = picturePath;
    if (!picturePath.empty() &&
        !WritePicture(written, rate, input, host ? &output : nullptr, echoes, error))
    {
        err << "zelbor-render: " << error << "\n";
        return kExitUsage;
    }
    if (!WriteWavFile(outputPath, output, error))
    {
        err << "zelbor-render: " << error << "\n";
        if (!picturePath.empty())
        {
            std::error_code ec;
            std::filesystem::remove(picturePath, ec);
        }
        return kExitUsage;
    }
    if (!o.quiet)
    {
        PrintSummary(out, o, input, fileChannels, output, host != nullptr, rtf);
        if (!o.picturePath.empty())
        {
            out << "wrote " << o.picturePath << "\n";
        }
    }
    if (o.stats)
    {
        PrintStats(out, o, input, output, host ? &settings : nullptr, echoes);
    }
    return kExitOk;
}

} // namespace zelbor::render
