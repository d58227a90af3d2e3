#pragma once

#include "tools/render/AudioBuffer.h"

#include <ostream>
#include <string>

namespace zelbor::render
{

// Reads any file that libsndfile reads, mono or stereo. A mono file fills
// both channels. On failure returns false with a message naming the file. A
// file that holds fewer frames than its header promises is read as far as
// it goes, with a warning.
bool ReadAudioFile(const std::string& path, AudioBuffer& audio, int& fileChannels,
                   std::string& error, std::ostream& warnings);

// Writes a 32-bit float stereo WAV. The data goes to a temporary file in the
// same folder first, which is renamed to the path only when complete, so a
// failed write leaves neither a partial file nor a changed old one.
bool WriteWavFile(const std::string& path, const AudioBuffer& audio, std::string& error);

} // namespace zelbor::render
