#include "tools/render/WavFile.h"

#include "tools/render/OutputFiles.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <sndfile.h>
#include <system_error>

namespace zelbor::render
{
namespace
{

constexpr sf_count_t kChunkFrames = 8192;

} // namespace

bool ReadAudioFile(const std::string& path, AudioBuffer& audio, int& fileChannels,
                   std::string& error, std::ostream& warnings)
{
    std::error_code ec;
    if (!std::filesystem::exists(path, ec))
    {
        error = "cannot read " + path + ": no such file";
        return false;
    }
    if (std::filesystem::is_directory(path, ec))
    {
        error = "cannot read " + path + ": it is a folder";
        return false;
    }
    SF_INFO info{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    if (!file)
    {
        error = "cannot read " + path + ": " + sf_strerror(nullptr);
        return false;
    }
    if (info.channels < 1 || info.channels > 2)
    {
        error = "cannot use " + path + ": it has " + std::to_string(info.channels) +
                " channels; mono or stereo files only";
        sf_close(file);
        return false;
    }
    if (info.samplerate <= 0)
    {
        error = "cannot use " + path + ": no sample rate";
        sf_close(file);
        return false;
    }
    // libsndfile trims the length of a file whose header promises more than
    // it holds to what is there, and notes "(should be ...)" in its log.
    std::string log(4096, '\0');
    sf_command(file, SFC_GET_LOG_INFO, log.data(), int(log.size()));
    const bool headerTooLong = log.find("(should be") != std::string::npos;
    const sf_count_t claimed = info.frames;
    fileChannels = info.channels;
    audio = AudioBuffer{};
    audio.sampleRate = info.samplerate;
    // The header's length is a hint only: a damaged or streamed file may
    // claim far more than it holds, so it never sizes more than a few minutes.
    constexpr sf_count_t kMostReserved = sf_count_t(1) << 24;
    if (info.frames > 0)
    {
        audio.left.reserve(std::size_t(std::min(info.frames, kMostReserved)));
        audio.right.reserve(std::size_t(std::min(info.frames, kMostReserved)));
    }
    std::vector<float> chunk(std::size_t(kChunkFrames) * std::size_t(info.channels));
    for (;;)
    {
        const sf_count_t got = sf_readf_float(file, chunk.data(), kChunkFrames);
        if (got <= 0)
        {
            break;
        }
        for (sf_count_t i = 0; i < got; ++i)
        {
            const float l = chunk[std::size_t(i * info.channels)];
            const float r = info.channels == 2 ? chunk[std::size_t(i * 2 + 1)] : l;
            // A damaged file must not feed NaN or infinities into the effect.
            audio.left.push_back(std::isfinite(l) ? l : 0.0f);
            audio.right.push_back(std::isfinite(r) ? r : 0.0f);
        }
    }
    const int status = sf_error(file);
    sf_close(file);
    if (status != SF_ERR_NO_ERROR)
    {
        error = "cannot read " + path + ": " + sf_error_number(status);
        return false;
    }
    if (headerTooLong || (claimed > 0 && sf_count_t(audio.Frames()) < claimed))
    {
        warnings << "zelbor-render: warning: " << path
                 << " is shorter than its header says; rendering the " << audio.Frames()
                 << " frames it holds\n";
    }
    return true;
}

bool WriteWavFile(const std::string& path, const AudioBuffer& audio, std::string& error)
{
    const std::filesystem::path target(path);
    std::error_code ec;
    if (std::filesystem::is_directory(target, ec))
    {
        error = "cannot write " + path + ": it is a folder";
        return false;
    }
    std::string writeError;
    const auto write = [&](const std::filesystem::path& temp)
    {
        SF_INFO info{};
        info.samplerate = int(audio.sampleRate + 0.5);
        info.channels = 2;
        info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
        SNDFILE* file = sf_open(temp.string().c_str(), SFM_WRITE, &info);
        if (!file)
        {
            writeError = sf_strerror(nullptr);
            return false;
        }
        // Keep the samples exactly as rendered (no normalisation on write).
        sf_command(file, SFC_SET_NORM_FLOAT, nullptr, SF_TRUE);
        sf_command(file, SFC_SET_CLIPPING, nullptr, SF_FALSE);

        bool ok = true;
        std::vector<float> chunk(std::size_t(kChunkFrames) * 2);
        const std::size_t frames = audio.Frames();
        for (std::size_t pos = 0; pos < frames && ok; pos += std::size_t(kChunkFrames))
        {
            const std::size_t n = std::min<std::size_t>(std::size_t(kChunkFrames), frames - pos);
            for (std::size_t i = 0; i < n; ++i)
            {
                chunk[2 * i] = audio.left[pos + i];
                chunk[2 * i + 1] = audio.right[pos + i];
            }
            ok = sf_writef_float(file, chunk.data(), sf_count_t(n)) == sf_count_t(n);
        }
        if (!ok) writeError = sf_strerror(file);
        if (sf_close(file) != 0 && ok)
        {
            ok = false;
            writeError = "the file could not be completed";
        }
        return ok;
    };
    if (!WriteThroughTemporary(target, write, writeError))
    {
        error = "cannot write " + path + ": " + writeError;
        return false;
    }
    return true;
}

} // namespace zelbor::render
