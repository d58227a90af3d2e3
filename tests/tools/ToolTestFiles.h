#pragma once

// WAV files for the tool tests, through libsndfile.

#include <sndfile.h>
#include <string>
#include <vector>

// Writes interleaved samples as a 16-bit or float WAV with the given channels.
inline bool WriteTestWav(const std::string& path, const std::vector<float>& interleaved,
                         int channels, int rate, int format = SF_FORMAT_WAV | SF_FORMAT_PCM_16)
{
    SF_INFO info{};
    info.channels = channels;
    info.samplerate = rate;
    info.format = format;
    SNDFILE* f = sf_open(path.c_str(), SFM_WRITE, &info);
    if (!f)
    {
        return false;
    }
    const sf_count_t frames = sf_count_t(interleaved.size()) / channels;
    const bool ok = sf_writef_float(f, interleaved.data(), frames) == frames;
    return sf_close(f) == 0 && ok;
}

struct TestWav
{
    int channels = 0;
    int rate = 0;
    int format = 0;
    std::vector<float> left;
    std::vector<float> right;
};

inline bool ReadTestWav(const std::string& path, TestWav& out)
{
    SF_INFO info{};
    SNDFILE* f = sf_open(path.c_str(), SFM_READ, &info);
    if (!f)
    {
        return false;
    }
    out.channels = info.channels;
    out.rate = info.samplerate;
    out.format = info.format;
    std::vector<float> data(std::size_t(info.frames) * std::size_t(info.channels));
    sf_readf_float(f, data.data(), info.frames);
    sf_close(f);
    for (sf_count_t i = 0; i < info.frames; ++i)
    {
        out.left.push_back(data[std::size_t(i * info.channels)]);
        out.right.push_back(data[std::size_t(i * info.channels + (info.channels > 1 ? 1 : 0))]);
    }
    return true;
}
