#include "framework/IPlugBase.h"

#include "framework/BoundedText.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <emmintrin.h>
#include <string>
#include <type_traits>

namespace
{
int ClampToInt(long long v)
{
    return static_cast<int>(std::clamp<long long>(v, INT_MIN, INT_MAX));
}

// Reads one "in-out" token the way "%d-%d" would: leading blanks are skipped,
// a number that cannot be read counts as 0.
ChannelPair ReadChannelPair(const char* s)
{
    ChannelPair pair;
    char* end = nullptr;
    long long in = std::strtoll(s, &end, 10);
    if (end == s) return pair;
    pair.inputs = ClampToInt(in);
    if (*end != '-') return pair;
    const char* second = end + 1;
    long long out = std::strtoll(second, &end, 10);
    if (end != second) pair.outputs = ClampToInt(out);
    return pair;
}

struct HostName
{
    const char* substring;
    int code;
};

// Searched in order; the first substring found in the lower-cased product
// name decides.
constexpr HostName kHostNames[] = {
    {"cubase", 3}, {"reaper", 1},   {"nuendo", 4},    {"cakewalk", 5},   {"samplitude", 8},
    {"fruity", 7}, {"live", 9},     {"melodyne", 12}, {"vstmanlib", 13}, {"aulab", 14},
    {"forte", 15}, {"chainer", 16}, {"audition", 17}, {"orion", 18},     {"sawstudio", 20},
    {"logic", 21}, {"digital", 22},
};

// The conversions run four samples at a time in SSE2 registers, whatever the
// optimisation level, and two at a time before the last odd one; the
// conversions and comparisons are the scalar ones.

// Two floats in the low half of a register, and back (copied as one
// 64-bit value).
inline __m128 LoadTwoFloats(const float* p)
{
    double both;
    std::memcpy(&both, p, sizeof both);
    return _mm_castpd_ps(_mm_set_sd(both));
}

inline void StoreTwoFloats(float* p, __m128 x)
{
    const double both = _mm_cvtsd_f64(_mm_castps_pd(x));
    std::memcpy(p, &both, sizeof both);
}

void FloatToDouble(const float* src, double* dest, int n)
{
    int i = 0;
    for (; i + 4 <= n; i += 4)
    {
        const __m128 x = _mm_loadu_ps(src + i);
        _mm_storeu_pd(dest + i, _mm_cvtps_pd(x));
        _mm_storeu_pd(dest + i + 2, _mm_cvtps_pd(_mm_movehl_ps(x, x)));
    }
    for (; i + 2 <= n; i += 2)
        _mm_storeu_pd(dest + i, _mm_cvtps_pd(LoadTwoFloats(src + i)));
    for (; i < n; ++i)
        dest[i] = static_cast<double>(src[i]);
}

// Output samples closer to zero than this are written as 0: a decaying tail
// would otherwise hand the host denormal numbers, which are slow to process
// on many processors, and inaudible anyway. The 32-bit forms compare after
// narrowing.
constexpr double kTinyOutput = 1e-30;
constexpr float kTinyOutput32 = 1e-30f;

inline double Untiny(double x)
{
    return std::fabs(x) < kTinyOutput ? 0.0 : x;
}

inline float Untiny(float x)
{
    return std::fabs(x) < kTinyOutput32 ? 0.0f : x;
}

// Untiny on four floats (two of them used here): keeps a value whose
// magnitude is not below the limit, NaN included.
inline __m128 Untiny(__m128 x)
{
    const __m128 magnitude = _mm_andnot_ps(_mm_set1_ps(-0.0f), x);
    return _mm_andnot_ps(_mm_cmplt_ps(magnitude, _mm_set1_ps(kTinyOutput32)), x);
}

inline __m128d Untiny(__m128d x)
{
    const __m128d magnitude = _mm_andnot_pd(_mm_set1_pd(-0.0), x);
    return _mm_andnot_pd(_mm_cmplt_pd(magnitude, _mm_set1_pd(kTinyOutput)), x);
}

// Four doubles narrowed into one register of floats.
inline __m128 LoadFourAsFloats(const double* p)
{
    return _mm_movelh_ps(_mm_cvtpd_ps(_mm_loadu_pd(p)), _mm_cvtpd_ps(_mm_loadu_pd(p + 2)));
}

void DoubleToFloat(const double* src, float* dest, int n)
{
    int i = 0;
    for (; i + 4 <= n; i += 4)
        _mm_storeu_ps(dest + i, Untiny(LoadFourAsFloats(src + i)));
    for (; i + 2 <= n; i += 2)
        StoreTwoFloats(dest + i, Untiny(_mm_cvtpd_ps(_mm_loadu_pd(src + i))));
    for (; i < n; ++i)
        dest[i] = Untiny(static_cast<float>(src[i]));
}

void DoubleAddToFloat(const double* src, float* dest, int n)
{
    int i = 0;
    for (; i + 4 <= n; i += 4)
        _mm_storeu_ps(dest + i,
                      Untiny(_mm_add_ps(LoadFourAsFloats(src + i), _mm_loadu_ps(dest + i))));
    for (; i + 2 <= n; i += 2)
    {
        const __m128 sum = _mm_add_ps(_mm_cvtpd_ps(_mm_loadu_pd(src + i)), LoadTwoFloats(dest + i));
        StoreTwoFloats(dest + i, Untiny(sum));
    }
    for (; i < n; ++i)
        dest[i] = Untiny(static_cast<float>(src[i]) + dest[i]);
}

void FlushTiny(double* x, int n)
{
    int i = 0;
    for (; i + 2 <= n; i += 2)
        _mm_storeu_pd(x + i, Untiny(_mm_loadu_pd(x + i)));
    for (; i < n; ++i)
        x[i] = Untiny(x[i]);
}
} // namespace

IPlugBase::IPlugBase(int nParams, const char* channelIOStr, int nPrograms, const char* effectName,
                     const char* productName, const char* vendorName, int vendorVersion,
                     int uniqueID, int mfrID, int latency, bool plugDoesMidi, bool plugDoesChunks,
                     bool plugIsInst)
    : mUniqueID(uniqueID), mMfrID(mfrID), mVendorVersion(vendorVersion), mChunks(plugDoesChunks),
      mInstrument(plugIsInst), mMidi(plugDoesMidi), mLatency(latency),
      mDeclaredParams(std::max(nParams, 0))
{
    for (int i = 0; i < mDeclaredParams; ++i)
        mParams.push_back(std::make_unique<IPlugParam>());

    for (int k = 0; k < nPrograms; ++k)
    {
        auto program = std::make_unique<IPlugProgram>();
        char name[32];
        std::snprintf(name, sizeof(name), "- %d -", k + 1);
        program->SetName(name);
        mPrograms.push_back(std::move(program));
    }

    CopyBoundedText(mEffectName, effectName, kNameSize);
    CopyBoundedText(mProductName, productName, kNameSize);
    CopyBoundedText(mVendorName, vendorName, kNameSize);

    ParseChannelIO(channelIOStr);
}

IPlugBase::~IPlugBase()
{
    mEditor.reset();
}

// --- Virtual slots ----------------------------------------------------------

void IPlugBase::ResetEngine()
{
    PlugLockGuard guard(mLock);
}

void IPlugBase::ParamChanged(int)
{
    PlugLockGuard guard(mLock);
}

void IPlugBase::ProcessBlock(double** inputs, double** outputs, int nFrames)
{
    if (!outputs || nFrames <= 0) return;
    const int nIn = inputs ? NInChannels() : 0;
    const size_t bytes = static_cast<size_t>(nFrames) * sizeof(double);
    for (int i = 0; i < NOutChannels(); ++i)
    {
        double* out = outputs[i];
        if (!out) continue;
        const double* in = i < nIn ? inputs[i] : nullptr;
        if (in)
        {
            if (in != out) std::memmove(out, in, bytes);
        }
        else
        {
            std::fill(out, out + nFrames, 0.0);
        }
    }
}

void IPlugBase::OnMainsChanged(bool)
{
    PlugLockGuard guard(mLock);
}

void IPlugBase::HandleMidiMessage(const MidiMessage& msg)
{
    SendMidiMessage(msg);
}

bool IPlugBase::GetMidiKeyName(int, char* name)
{
    if (name) name[0] = 0;
    return false;
}

bool IPlugBase::WriteState(StateChunk& chunk)
{
    return WriteParamsToChunk(chunk, false);
}

int IPlugBase::ReadState(const StateChunk& chunk, int startPos)
{
    return UnserializeParams(chunk, startPos, false);
}

void IPlugBase::WriteArgumentValues(StateChunk& chunk, va_list args)
{
    for (const auto& param : mParams)
    {
        double v;
        switch (param->Kind())
        {
        case KindSwitch:
        case KindInteger:
        case KindEnum:
            v = va_arg(args, int);
            break;
        default:
            v = va_arg(args, double);
            break;
        }
        chunk.PutDouble(v);
    }
}

void IPlugBase::WriteArguments(StateChunk* chunk, ...)
{
    if (!chunk) return;
    va_list args;
    va_start(args, chunk);
    WriteArgumentValues(*chunk, args);
    va_end(args);
}

HostBlockTime IPlugBase::HostTimeForBlock()
{
    HostBlockTime t;
    t.tempo = HostTempo();
    HostTimeSignature(t.numerator, t.denominator);
    t.samplePosition = HostSamplePosition();
    return t;
}

int IPlugBase::IdentifyHost()
{
    return mHostCode;
}

void IPlugBase::AttachEditor(IEditor* editor)
{
    if (!editor) return;
    PlugLockGuard guard(mLock);
    for (int i = 0; i < NParams(); ++i)
        editor->PushParamToControls(i, mParams[static_cast<size_t>(i)]->ToNormalized(), true);
    editor->CreateBackBuffer();
    if (editor != mEditor.get()) mEditor.reset(editor);
}

void IPlugBase::SetBlockLength(int frames)
{
    if (frames < 0) frames = 0;
    if (frames == mBlockLength) return;
    ResizeScratch(frames);
    mBlockLength = frames;
}

void IPlugBase::SetLatencySamples(int frames)
{
    mLatency = frames;
}

// --- Parameters -------------------------------------------------------------

IPlugParam* IPlugBase::GetParam(int idx)
{
    if (idx < 0 || idx >= NParams()) return nullptr;
    return mParams[static_cast<size_t>(idx)].get();
}

const IPlugParam* IPlugBase::GetParam(int idx) const
{
    if (idx < 0 || idx >= NParams()) return nullptr;
    return mParams[static_cast<size_t>(idx)].get();
}

IPlugParam* IPlugBase::AddParam()
{
    mParams.push_back(std::make_unique<IPlugParam>());
    return mParams.back().get();
}

void IPlugBase::SetParameterFromGUI(int paramIdx, double normalizedValue)
{
    if (std::isnan(normalizedValue)) return;
    normalizedValue = std::clamp(normalizedValue, 0.0, 1.0);
    PlugLockGuard guard(mLock);
    IPlugParam* param = GetParam(paramIdx);
    if (!param) return;
    param->SetFromNormalized(normalizedValue);
    AutomateParameter(paramIdx, normalizedValue);
    ParamChanged(paramIdx);
}

void IPlugBase::NotifyAllParamsChanged()
{
    PlugLockGuard guard(mLock);
    for (int i = 0; i < NParams(); ++i)
        ParamChanged(i);
}

void IPlugBase::PushParamsToEditor()
{
    if (!mEditor) return;
    for (int i = 0; i < NParams(); ++i)
        mEditor->PushParamToControls(i, mParams[static_cast<size_t>(i)]->Value(), false);
}

// --- State ------------------------------------------------------------------

bool IPlugBase::WriteParamsToChunk(StateChunk& chunk, bool all)
{
    PlugLockGuard guard(mLock);
    const int count = all ? NParams() : std::min(mDeclaredParams, NParams());
    for (int i = 0; i < count; ++i)
    {
        const IPlugParam& param = *mParams[static_cast<size_t>(i)];
        if (!chunk.PutDouble(param.IsMomentary() ? 0.0 : param.Value())) return false;
    }
    return true;
}

int IPlugBase::UnserializeParams(const StateChunk& chunk, int startPos, bool all)
{
    PlugLockGuard guard(mLock);
    const int count = all ? NParams() : std::min(mDeclaredParams, NParams());
    int pos = startPos;
    for (int i = 0; i < count && pos >= 0; ++i)
    {
        double v = 0.0;
        pos = chunk.GetDouble(&v, pos);
        // A stored value that is not a finite number is skipped: the
        // parameter keeps its value and reading goes on.
        IPlugParam& param = *mParams[static_cast<size_t>(i)];
        if (param.IsMomentary())
            param.SetValue(0.0);
        else if (std::isfinite(v))
            param.SetValueClamped(v);
    }
    NotifyAllParamsChanged();
    return pos;
}

void IPlugBase::StartStateChunk(StateChunk& chunk)
{
    chunk.Resize(0);
    chunk.PutInt32(kProgramChunkMagic);
    chunk.PutInt32(kProgramChunkVersion);
}

int IPlugBase::ReadStateChunkVersion(const StateChunk& chunk, int& pos)
{
    if (pos < 0) return 0;
    int32_t magic = 0;
    const int afterMagic = chunk.GetInt32(&magic, pos);
    if (afterMagic < 0 || magic != kProgramChunkMagic) return 0;
    int32_t version = 0;
    pos = chunk.GetInt32(&version, afterMagic);
    return version;
}

// --- Programs ---------------------------------------------------------------

IPlugProgram* IPlugBase::GetProgram(int idx)
{
    if (idx < 0 || idx >= NPrograms()) return nullptr;
    return mPrograms[static_cast<size_t>(idx)].get();
}

const char* IPlugBase::GetProgramName(int idx) const
{
    if (idx < 0 || idx >= NPrograms()) return "";
    return mPrograms[static_cast<size_t>(idx)]->Name();
}

void IPlugBase::EnsureDefaultProgram()
{
    if (!mPrograms.empty()) return;
    auto program = std::make_unique<IPlugProgram>();
    program->SetName("- 1 -");
    mPrograms.push_back(std::move(program));
    for (auto& p : mPrograms)
    {
        if (!p->Initialized())
        {
            p->SetInitialized(true);
            p->SetName("Default");
            WriteParamsToChunk(p->State(), false);
            break;
        }
    }
}

bool IPlugBase::RestoreProgram(int idx)
{
    PlugLockGuard guard(mLock);
    IPlugProgram* program = GetProgram(idx);
    if (!program) return false;
    bool ok;
    if (program->Initialized())
    {
        ok = UnserializeParams(program->State(), 0, false) > 0;
    }
    else
    {
        char name[IPlugProgram::kNameSize];
        NextUserProgramName(name, sizeof(name));
        program->SetInitialized(true);
        program->SetName(name);
        program->State().Clear();
        ok = WriteParamsToChunk(program->State(), false);
    }
    if (ok)
    {
        mCurrentProgram = idx;
        PushParamsToEditor();
    }
    return ok;
}

void IPlugBase::StoreCurrentProgram(const char* name)
{
    PlugLockGuard guard(mLock);
    IPlugProgram* program = GetProgram(mCurrentProgram);
    if (!program) return;
    program->State().Clear();
    WriteParamsToChunk(program->State(), false);
    // The program now holds a state: selecting it again must read it back
    // rather than overwrite it with whatever is current then.
    program->SetInitialized(true);
    if (name && name[0]) program->SetName(name);
}

void IPlugBase::NextUserProgramName(char* name, int size) const
{
    if (!name || size <= 0) return;
    int count = 0;
    for (const auto& p : mPrograms)
    {
        if (std::strstr(p->Name(), "user preset")) ++count;
    }
    std::snprintf(name, static_cast<size_t>(size), "%s %d", "user preset", count + 1);
}

// --- Identity ---------------------------------------------------------------

int IPlugBase::EffectVersion(bool decimal) const
{
    if (!decimal) return mVendorVersion;
    const unsigned v = static_cast<unsigned>(mVendorVersion);
    const int major = static_cast<int>((v >> 16) & 0xFFFF);
    const int minor = static_cast<int>((v >> 8) & 0xFF);
    const int patch = static_cast<int>(v & 0xFF);
    return (major * 100 + minor) * 100 + patch;
}

int IPlugBase::HostCodeForName(const char* name)
{
    if (!name) return 0;
    // ASCII only: a host's locale must not change how "I" lowers (a Turkish
    // locale would make "LIVE" miss "live").
    std::string lower(name);
    for (char& c : lower)
    {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    for (const HostName& host : kHostNames)
    {
        if (lower.find(host.substring) != std::string::npos) return host.code;
    }
    return 0;
}

void IPlugBase::SetHost(const char* name, int version)
{
    mHostCode = HostCodeForName(name);
    mHostVersion = version;
}

// --- Audio frame ------------------------------------------------------------

void IPlugBase::SetSampleRate(double rate)
{
    if (std::isfinite(rate) && rate > 0.0) mSampleRate = rate;
}

bool IPlugBase::IsInChannelConnected(int idx) const
{
    return idx >= 0 && idx < NInChannels() && mInChannels[static_cast<size_t>(idx)].connected;
}

bool IPlugBase::IsOutChannelConnected(int idx) const
{
    return idx >= 0 && idx < NOutChannels() && mOutChannels[static_cast<size_t>(idx)].connected;
}

const ChannelPair* IPlugBase::GetChannelPair(int idx) const
{
    if (idx < 0 || idx >= NChannelPairs()) return nullptr;
    return &mChannelPairs[static_cast<size_t>(idx)];
}

bool IPlugBase::LegalIO(int nIn, int nOut) const
{
    for (const ChannelPair& pair : mChannelPairs)
    {
        if ((nIn < 0 || nIn == pair.inputs) && (nOut < 0 || nOut == pair.outputs)) return true;
    }
    return false;
}

void IPlugBase::ParseChannelIO(const char* channelIOStr)
{
    if (!channelIOStr) channelIOStr = "";
    int maxIn = 0;
    int maxOut = 0;
    // A token starts at the beginning and right after every space.
    const char* token = channelIOStr;
    while (token)
    {
        ChannelPair pair = ReadChannelPair(token);
        mChannelPairs.push_back(pair);
        maxIn = std::max(maxIn, pair.inputs);
        maxOut = std::max(maxOut, pair.outputs);
        const char* space = std::strchr(token, ' ');
        token = space ? space + 1 : nullptr;
    }
    CreateChannels(maxIn, maxOut);
}

void IPlugBase::CreateChannels(int nIn, int nOut)
{
    nIn = std::max(nIn, 0);
    nOut = std::max(nOut, 0);
    mInData.assign(static_cast<size_t>(nIn), nullptr);
    mOutData.assign(static_cast<size_t>(nOut), nullptr);
    mInChannels.assign(static_cast<size_t>(nIn), InputChannel());
    mOutChannels.assign(static_cast<size_t>(nOut), OutputChannel());
    // Scratch buffers get the current block length right away, so the
    // disconnected-channel pointers are always valid for a whole block.
    ResizeScratch(mBlockLength);
}

void IPlugBase::ResizeScratch(int frames)
{
    for (size_t i = 0; i < mInChannels.size(); ++i)
    {
        mInChannels[i].scratch.assign(static_cast<size_t>(frames), 0.0);
        mInData[i] = mInChannels[i].scratch.data();
    }
    for (size_t i = 0; i < mOutChannels.size(); ++i)
    {
        mOutChannels[i].scratch.assign(static_cast<size_t>(frames), 0.0);
        mOutChannels[i].dest = nullptr;
        mOutData[i] = mOutChannels[i].scratch.data();
    }
}

void IPlugBase::ConnectInputs(int first, int count, bool connected)
{
    const long long begin = std::max(first, 0);
    const long long end = std::min<long long>(static_cast<long long>(first) + count, NInChannels());
    for (long long i = begin; i < end; ++i)
    {
        InputChannel& ch = mInChannels[static_cast<size_t>(i)];
        if (!connected)
        {
            // A disconnected input reads silence, not what was last converted.
            if (ch.connected) std::fill(ch.scratch.begin(), ch.scratch.end(), 0.0);
            mInData[static_cast<size_t>(i)] = ch.scratch.data();
        }
        ch.connected = connected;
    }
}

void IPlugBase::ConnectOutputs(int first, int count, bool connected)
{
    const long long begin = std::max(first, 0);
    const long long end =
        std::min<long long>(static_cast<long long>(first) + count, NOutChannels());
    for (long long i = begin; i < end; ++i)
    {
        OutputChannel& ch = mOutChannels[static_cast<size_t>(i)];
        if (!connected)
        {
            ch.dest = nullptr;
            mOutData[static_cast<size_t>(i)] = ch.scratch.data();
        }
        ch.connected = connected;
    }
}

void IPlugBase::KeepFirstChannelPair()
{
    if (NInChannels() > 2) ConnectInputs(2, NInChannels() - 2, false);
    if (NOutChannels() > 2) ConnectOutputs(2, NOutChannels() - 2, true);
}

void IPlugBase::EnsureStereoPair()
{
    if (NInChannels() != 0 || NOutChannels() != 0) return;
    mChannelPairs.push_back(ChannelPair{2, 2});
    CreateChannels(2, 2);
    ConnectInputs(0, 2, true);
    ConnectOutputs(0, 2, true);
}

// Connected channels take the host's buffers in order. A 32-bit input is
// widened into the channel's scratch buffer; a 64-bit one is used in place.
template <typename Sample> void IPlugBase::BindInputs(Sample** inputs, int offset, int nFrames)
{
    int k = 0;
    for (size_t i = 0; i < mInChannels.size(); ++i)
    {
        InputChannel& ch = mInChannels[i];
        mInData[i] = ch.scratch.data();
        if (!ch.connected) continue;
        Sample* src = inputs ? inputs[k] : nullptr;
        ++k;
        if (!src)
            std::fill(ch.scratch.begin(), ch.scratch.begin() + nFrames, 0.0);
        else if constexpr (std::is_same_v<Sample, float>)
            FloatToDouble(src + offset, ch.scratch.data(), nFrames);
        else
            mInData[i] = src + offset;
    }
}

// A 32-bit output is rendered into the scratch buffer and remembered as the
// destination of the conversion; a 64-bit one is rendered into in place.
template <typename Sample> void IPlugBase::BindOutputs(Sample** outputs, int offset)
{
    int k = 0;
    for (size_t i = 0; i < mOutChannels.size(); ++i)
    {
        OutputChannel& ch = mOutChannels[i];
        mOutData[i] = ch.scratch.data();
        ch.dest = nullptr;
        if (!ch.connected) continue;
        Sample* dest = outputs ? outputs[k] : nullptr;
        ++k;
        if (!dest) continue;
        if constexpr (std::is_same_v<Sample, float>)
            ch.dest = dest + offset;
        else
            mOutData[i] = dest + offset;
    }
}

void IPlugBase::WriteOutputs32(int nFrames, bool accumulate)
{
    for (OutputChannel& ch : mOutChannels)
    {
        if (!ch.connected || !ch.dest) continue;
        if (accumulate)
            DoubleAddToFloat(ch.scratch.data(), ch.dest, nFrames);
        else
            DoubleToFloat(ch.scratch.data(), ch.dest, nFrames);
    }
}

template <typename Sample> void IPlugBase::SilenceOutputs(Sample** outputs, int nFrames)
{
    if (!outputs) return;
    int k = 0;
    for (const OutputChannel& ch : mOutChannels)
    {
        if (!ch.connected) continue;
        Sample* dest = outputs[k++];
        if (dest) std::fill(dest, dest + nFrames, Sample(0));
    }
}

void IPlugBase::BindInputBuffers(float** inputs, int nFrames)
{
    BindInputs(inputs, 0, std::clamp(nFrames, 0, mBlockLength));
}

void IPlugBase::BindInputBuffers(double** inputs, int nFrames)
{
    BindInputs(inputs, 0, std::clamp(nFrames, 0, mBlockLength));
}

void IPlugBase::BindOutputBuffers(float** outputs, int)
{
    BindOutputs(outputs, 0);
}

void IPlugBase::BindOutputBuffers(double** outputs, int)
{
    BindOutputs(outputs, 0);
}

// Runs the host block through ProcessBlock in sub-blocks of at most
// BlockLength() frames; 32-bit outputs are narrowed (or added) after each.
// Before a block length is set nothing runs: plain processing leaves
// silence, accumulating leaves the host's outputs as they are.
template <typename Sample>
void IPlugBase::RunHostBlock(Sample** inputs, Sample** outputs, int nFrames, bool accumulate)
{
    PlugLockGuard guard(mLock);
    if (nFrames <= 0) return;
    if (mBlockLength <= 0)
    {
        if (!accumulate) SilenceOutputs(outputs, nFrames);
        return;
    }
    for (int done = 0; done < nFrames;)
    {
        const int n = std::min(nFrames - done, mBlockLength);
        BindInputs(inputs, done, n);
        BindOutputs(outputs, done);
        ProcessBlock(InputData(), OutputData(), n);
        if constexpr (std::is_same_v<Sample, float>)
            WriteOutputs32(n, accumulate);
        else
            for (double* out : mOutData)
                FlushTiny(out, n);
        done += n;
    }
}

void IPlugBase::RunBlock(float** inputs, float** outputs, int nFrames)
{
    RunHostBlock(inputs, outputs, nFrames, false);
}

void IPlugBase::RunBlock(double** inputs, double** outputs, int nFrames)
{
    RunHostBlock(inputs, outputs, nFrames, false);
}

void IPlugBase::RunBlockAccumulating(float** inputs, float** outputs, int nFrames)
{
    RunHostBlock(inputs, outputs, nFrames, true);
}
