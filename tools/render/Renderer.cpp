#include "tools/render/Renderer.h"

#include "tools/render/TailMeasure.h"

#include <algorithm>
#include <cmath>

namespace zelbor::render
{
namespace
{

// Host blocks of the pre-roll: no longer than this, so that its length and
// with it the state the music starts from do not depend on the block size.
constexpr int kPrerollBlock = 512;
// Sound kept after the last sample above -90 dBFS of a measured tail.
constexpr double kTailKeepSeconds = 0.05;
// Added to the longest echo path for what the filters and read heads smear.
constexpr double kQuietMarginSeconds = 0.05;

// Runs frames of the source (or silence past its end) through the host into
// out at the given offset, in blocks of at most blockLimit frames.
void RunFrames(EffectHost& host, const AudioBuffer* source, std::size_t sourceOffset,
               AudioBuffer* out, std::size_t outOffset, std::size_t frames, bool useDouble,
               Progress* progress, double progressBase, int blockLimit = 0)
{
    const std::size_t block =
        std::size_t(blockLimit > 0 ? std::min(blockLimit, host.MaxBlock()) : host.MaxBlock());
    std::vector<float> in32[2] = {std::vector<float>(block), std::vector<float>(block)};
    std::vector<float> out32[2] = {std::vector<float>(block), std::vector<float>(block)};
    std::vector<double> in64[2];
    std::vector<double> out64[2];
    if (useDouble)
    {
        for (int c = 0; c < 2; ++c)
        {
            in64[c].assign(block, 0.0);
            out64[c].assign(block, 0.0);
        }
    }
    for (std::size_t done = 0; done < frames;)
    {
        const std::size_t n = std::min(block, frames - done);
        for (int c = 0; c < 2; ++c)
        {
            std::fill(in32[c].begin(), in32[c].end(), 0.0f);
            if (source)
            {
                const std::vector<float>& ch = c == 0 ? source->left : source->right;
                const std::size_t from = sourceOffset + done;
                if (from < ch.size())
                {
                    const std::size_t avail = std::min(n, ch.size() - from);
                    std::copy_n(ch.begin() + std::ptrdiff_t(from), avail, in32[c].begin());
                }
            }
        }
        if (useDouble)
        {
            for (int c = 0; c < 2; ++c)
            {
                std::copy_n(in32[c].begin(), n, in64[c].begin());
            }
            const double* in[2] = {in64[0].data(), in64[1].data()};
            double* outp[2] = {out64[0].data(), out64[1].data()};
            host.Process(in, outp, int(n));
            for (int c = 0; c < 2; ++c)
            {
                for (std::size_t i = 0; i < n; ++i)
                {
                    out32[c][i] = float(out64[c][i]);
                }
            }
        }
        else
        {
            const float* in[2] = {in32[0].data(), in32[1].data()};
            float* outp[2] = {out32[0].data(), out32[1].data()};
            host.Process(in, outp, int(n));
        }
        if (out)
        {
            std::copy_n(out32[0].begin(), n, out->left.begin() + std::ptrdiff_t(outOffset + done));
            std::copy_n(out32[1].begin(), n, out->right.begin() + std::ptrdiff_t(outOffset + done));
        }
        done += n;
        if (progress)
        {
            progress->Update(progressBase + double(done) / host.SampleRate());
        }
    }
}

void Preroll(EffectHost& host, const RenderSettings& settings)
{
    host.SetPlaying(false);
    host.SetSamplePosition(0.0);
    const int block = std::min(kPrerollBlock, host.MaxBlock());
    // By default as many frames as kPrerollMinBlocks full blocks, whatever
    // the host block: the LFOs then start the music from the same phase.
    std::size_t frames = settings.prerollSeconds < 0.0
                             ? std::size_t(kPrerollMinBlocks) * std::size_t(kPrerollBlock)
                             : std::size_t(settings.prerollSeconds * host.SampleRate());
    if (frames > 0)
    {
        // The output level is smoothed once per block: give it enough blocks.
        frames = std::max(frames, std::size_t(kPrerollMinBlocks) * std::size_t(block));
    }
    RunFrames(host, nullptr, 0, nullptr, 0, frames, settings.useDouble, nullptr, 0.0, block);
    host.SetSamplePosition(0.0);
    host.SetPlaying(true);
}

} // namespace

AudioBuffer RenderThroughEffect(EffectHost& host, const AudioBuffer& input,
                                const RenderSettings& settings, Progress* progress)
{
    Preroll(host, settings);
    const std::size_t inFrames = input.Frames();
    const std::size_t tailFrames =
        std::size_t(std::max(0.0, settings.tailSeconds) * input.sampleRate + 0.5);
    AudioBuffer out;
    out.sampleRate = input.sampleRate;
    if (!settings.measureTail)
    {
        out.Resize(inFrames + tailFrames);
        RunFrames(host, &input, 0, &out, 0, inFrames + tailFrames, settings.useDouble, progress,
                  0.0);
        return out;
    }

    out.Resize(inFrames);
    RunFrames(host, &input, 0, &out, 0, inFrames, settings.useDouble, progress, 0.0);
    // Asked now, when the effect has taken the host's tempo.
    TailWatch watch(out.sampleRate, LongestEchoSeconds(host) + kQuietMarginSeconds,
                    settings.tailSeconds);
    const std::size_t block = std::size_t(host.MaxBlock());
    while (!watch.Ended())
    {
        const std::size_t at = out.Frames();
        const std::size_t n = std::min(block, tailFrames - watch.Frames());
        out.Resize(at + n);
        RunFrames(host, nullptr, 0, &out, at, n, settings.useDouble, progress,
                  double(at) / out.sampleRate);
        watch.Feed(out.left.data() + at, out.right.data() + at, n);
    }
    const std::size_t keep = std::size_t(kTailKeepSeconds * out.sampleRate);
    out.Resize(watch.EndOfSound() > 0 ? std::min(out.Frames(), inFrames + watch.EndOfSound() + keep)
                                      : inFrames);
    return out;
}

std::vector<EchoMark> MeasureEchoes(EffectHost& host, double seconds,
                                    const RenderSettings& settings, int maxEchoes)
{
    Preroll(host, settings);
    AudioBuffer impulse;
    impulse.sampleRate = host.SampleRate();
    impulse.Resize(std::max<std::size_t>(1, std::size_t(seconds * impulse.sampleRate)));
    impulse.left[0] = 1.0f;
    impulse.right[0] = 1.0f;
    AudioBuffer response;
    response.sampleRate = impulse.sampleRate;
    response.Resize(impulse.Frames());
    RunFrames(host, &impulse, 0, &response, 0, impulse.Frames(), settings.useDouble, nullptr, 0.0);

    const std::size_t n = response.Frames();
    std::vector<float> env(n, 0.0f);
    // The dry impulse occupies sample 0; no echo comes before half a millisecond.
    const std::size_t skip = std::max<std::size_t>(3, std::size_t(0.0004 * response.sampleRate));
    for (std::size_t i = skip; i < n; ++i)
    {
        env[i] = std::max(std::fabs(response.left[i]), std::fabs(response.right[i]));
    }
    const float strongest = *std::max_element(env.begin(), env.end());
    std::vector<EchoMark> echoes;
    if (!(strongest > 1e-6f))
    {
        return echoes;
    }
    const float floor = strongest * float(std::pow(10.0, -30.0 / 20.0));
    const std::size_t w = std::max<std::size_t>(1, std::size_t(0.003 * response.sampleRate));
    for (std::size_t i = skip; i < n && int(echoes.size()) < maxEchoes; ++i)
    {
        if (env[i] < floor)
        {
            continue;
        }
        const std::size_t lo = i >= w ? i - w : 0;
        const std::size_t hi = std::min(n, i + w + 1);
        bool isPeak = true;
        for (std::size_t k = lo; k < hi && isPeak; ++k)
        {
            // The earliest of equal samples counts, so a flat top gives one peak.
            isPeak = env[k] < env[i] || (env[k] == env[i] && k >= i);
        }
        if (isPeak)
        {
            echoes.push_back({double(i) / response.sampleRate, 20.0 * std::log10(double(env[i]))});
        }
    }
    return echoes;
}

std::size_t EndOfSound(const AudioBuffer& audio, double thresholdDb)
{
    const float threshold = float(std::pow(10.0, thresholdDb / 20.0));
    for (std::size_t i = audio.Frames(); i > 0; --i)
    {
        if (std::fabs(audio.left[i - 1]) > threshold || std::fabs(audio.right[i - 1]) > threshold)
        {
            return i;
        }
    }
    return 0;
}

bool AllFinite(const AudioBuffer& audio)
{
    for (std::size_t i = 0; i < audio.Frames(); ++i)
    {
        if (!std::isfinite(audio.left[i]) || !std::isfinite(audio.right[i]))
        {
            return false;
        }
    }
    return true;
}

} // namespace zelbor::render
