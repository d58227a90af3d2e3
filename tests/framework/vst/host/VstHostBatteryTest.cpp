// What strict hosts and plug-in validators check, through the module's entry
// and its record only: the editor opened and closed around running audio,
// state that survives a fresh instance byte for byte, parameters and state
// changed from other threads while audio runs, every common sample rate and
// block size with clean output and a silent tail, and an audio thread that
// never reaches the heap.

#include "HostHarness.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#endif

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define ZELBOR_ALLOC_HOOKS 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define ZELBOR_ALLOC_HOOKS 1
#endif
#endif
#if defined(ZELBOR_ALLOC_HOOKS) && !defined(_WIN32)
// From the sanitizer runtime's interface (not every compiler ships its
// header): hooks called on every allocation and release, and a stack dump.
extern "C" int __sanitizer_install_malloc_and_free_hooks(void (*)(const volatile void*,
                                                                  std::size_t),
                                                         void (*)(const volatile void*));
extern "C" void __sanitizer_print_stack_trace();
#else
#undef ZELBOR_ALLOC_HOOKS
#endif

namespace
{
using ModuleBattery = ModuleFixture;
using ModuleStress = ModuleFixture;

// Parameter indices of the effect's table.
constexpr int kWet = 0;
constexpr int kFbScale = 3;
constexpr int kIn = 4;
constexpr int kRx = 13;
constexpr int kTime = 31;
constexpr int kFb = 49;
constexpr int kLpf = 58;
constexpr int kHpf = 67;
constexpr int kShape = 121;
constexpr int kPhase = 148;
constexpr int kPan = 157;
constexpr int kMains = 166;
constexpr int kSclRst = 184;
constexpr int kSclDpth = 188;
constexpr int kNumParams = 216;

// A sample a host may receive: zero or a normal finite number.
template <typename Sample> bool Clean(Sample x)
{
    const int c = std::fpclassify(x);
    return c == FP_ZERO || c == FP_NORMAL;
}

void Process(AEffect* e, float** in, float** out, int n)
{
    e->processReplacing(e, in, out, n);
}
void Process(AEffect* e, double** in, double** out, int n)
{
    e->processDoubleReplacing(e, in, out, n);
}

std::string Display(AEffect* e, int index)
{
    char text[256] = {};
    e->dispatcher(e, effGetParamDisplay, index, 0, text, 0.0f);
    return text;
}

std::vector<unsigned char> SaveChunk(AEffect* e, int programOnly)
{
    void* data = nullptr;
    const VstIntPtr size = e->dispatcher(e, effGetChunk, programOnly, 0, &data, 0.0f);
    if (size <= 0 || !data) return {};
    const auto* bytes = static_cast<const unsigned char*>(data);
    return std::vector<unsigned char>(bytes, bytes + size);
}

VstIntPtr LoadChunk(AEffect* e, int programOnly, std::vector<unsigned char> bytes)
{
    return e->dispatcher(e, effSetChunk, programOnly, static_cast<VstIntPtr>(bytes.size()),
                         bytes.data(), 0.0f);
}

std::vector<float> Params(AEffect* e)
{
    std::vector<float> values;
    for (int i = 0; i < kNumParams; ++i)
        values.push_back(e->getParameter(e, i));
    return values;
}

// Every tap running, a serial chain on the odd taps, the shortest times and
// the least feedback: the echoes are gone within a fraction of a second.
// Filters at their ends (a low-pass above the Nyquist frequency of 22050 Hz
// among them), every LFO shape, both phases.
void ShortTailSettings(AEffect* e)
{
    for (int t = 0; t < 8; ++t)
    {
        e->setParameter(e, kIn + t, static_cast<float>(t % 5 + 1) / 5.0f);
        e->setParameter(e, kRx + t, t % 2 ? static_cast<float>(t - 1) / 8.0f : 1.0f);
        e->setParameter(e, kTime + t, 0.0005f * static_cast<float>(t + 1));
        e->setParameter(e, kFb + t, 0.0f);
        e->setParameter(e, kLpf + t, t == 0 ? 1.0f : 0.5f);
        e->setParameter(e, kHpf + t, t == 1 ? 0.0f : 0.5f);
        e->setParameter(e, kShape + t, static_cast<float>(t % 5) / 4.0f);
        e->setParameter(e, kPhase + t, static_cast<float>(t % 2));
        e->setParameter(e, kPan + t, static_cast<float>(t) / 7.0f);
        e->setParameter(e, kMains + t, 1.0f);
    }
}

// Processes on its own thread, as a host's audio thread does, until stopped:
// block lengths up to maxBlock, 32-bit and 64-bit callbacks in turn. Counts
// blocks and every output sample that is not clean.
class AudioThread
{
public:
    AudioThread(AEffect* effect, int maxBlock) : e(effect), max(maxBlock)
    {
        worker = std::thread([this] { Run(); });
    }
    ~AudioThread() { Stop(); }

    void Stop()
    {
        stop = true;
        if (worker.joinable()) worker.join();
    }
    // Returns once count more blocks have been processed.
    void WaitBlocks(long count)
    {
        const long target = blocks.load() + count;
        while (blocks.load() < target && !stop)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    long Blocks() const { return blocks.load(); }
    long BadSamples() const { return bad.load(); }

private:
    AEffect* e;
    int max;
    std::atomic<bool> stop{false};
    std::atomic<long> blocks{0};
    std::atomic<long> bad{0};
    std::thread worker;

    template <typename Sample> void Block(Rng& rng, int n)
    {
        std::vector<Sample> inL(static_cast<std::size_t>(n)), inR(inL), outL(inL), outR(inL);
        for (int i = 0; i < n; ++i)
        {
            inL[static_cast<std::size_t>(i)] = static_cast<Sample>(rng.Unit() - 0.5f);
            inR[static_cast<std::size_t>(i)] = static_cast<Sample>(rng.Unit() - 0.5f);
        }
        Sample* in[] = {inL.data(), inR.data()};
        Sample* out[] = {outL.data(), outR.data()};
        Process(e, in, out, n);
        for (int i = 0; i < n; ++i)
            if (!Clean(outL[static_cast<std::size_t>(i)]) ||
                !Clean(outR[static_cast<std::size_t>(i)]))
                ++bad;
    }

    void Run()
    {
        Rng rng{7};
        while (!stop)
        {
            const int n = 1 + rng.Below(max);
            if (blocks % 2)
                Block<double>(rng, n);
            else
                Block<float>(rng, n);
            ++blocks;
        }
    }
};

// A top-level window of the host's own, the parent an editor opens in. On
// Windows a plain window; on Linux an X11 window when a display is there
// (libX11 is loaded at run time, so nothing here needs its headers).
class ParentWindow
{
public:
#ifdef _WIN32
    ParentWindow()
    {
        hwnd = CreateWindowExW(0, L"STATIC", L"host", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 800,
                               720, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    }
    ~ParentWindow()
    {
        if (hwnd) DestroyWindow(hwnd);
        Pump();
    }
    void* Handle() const
    {
        return hwnd;
    }
    // The editor's window, the first child of this one.
    HWND Child() const
    {
        return GetWindow(hwnd, GW_CHILD);
    }
    // Delivers what is queued: paints and timer ticks.
    static void Pump()
    {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
        {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }

private:
    HWND hwnd = nullptr;
#else
    ParentWindow()
    {
        if (!std::getenv("DISPLAY") || !X11()) return;
        auto open = reinterpret_cast<void* (*)(const char*)>(dlsym(X11(), "XOpenDisplay"));
        auto root = reinterpret_cast<unsigned long (*)(void*)>(dlsym(X11(), "XDefaultRootWindow"));
        auto create =
            reinterpret_cast<unsigned long (*)(void*, unsigned long, int, int, unsigned, unsigned,
                                               unsigned, unsigned long, unsigned long)>(
                dlsym(X11(), "XCreateSimpleWindow"));
        auto map = reinterpret_cast<int (*)(void*, unsigned long)>(dlsym(X11(), "XMapWindow"));
        auto sync = reinterpret_cast<int (*)(void*, int)>(dlsym(X11(), "XSync"));
        if (!open || !root || !create || !map || !sync) return;
        display = open(nullptr);
        if (!display) return;
        window = create(display, root(display), 0, 0, 800, 720, 0, 0, 0);
        map(display, window);
        sync(display, 0);
    }
    ~ParentWindow()
    {
        if (!display) return;
        auto destroy =
            reinterpret_cast<int (*)(void*, unsigned long)>(dlsym(X11(), "XDestroyWindow"));
        auto close = reinterpret_cast<int (*)(void*)>(dlsym(X11(), "XCloseDisplay"));
        if (window && destroy) destroy(display, window);
        if (close) close(display);
    }
    void* Handle() const
    {
        return reinterpret_cast<void*>(window);
    }
    static void Pump() {}

private:
    // Loaded once and kept, as a host keeps its window system.
    static void* X11()
    {
        static void* lib = dlopen("libX11.so.6", RTLD_NOW | RTLD_LOCAL);
        return lib;
    }
    void* display = nullptr;
    unsigned long window = 0;
#endif
};

// The host's idle loop for a moment: window messages and effEditIdle.
void Idle(AEffect* e, int rounds)
{
    for (int i = 0; i < rounds; ++i)
    {
        ParentWindow::Pump();
        e->dispatcher(e, effEditIdle, 0, 0, nullptr, 0.0f);
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}

// Opens the editor in parent: 1 when it opened. An effect without the editor
// flag must refuse; one with it must open.
::testing::AssertionResult OpenEditor(AEffect* e, ParentWindow& parent)
{
    const VstIntPtr opened = e->dispatcher(e, effEditOpen, 0, 0, parent.Handle(), 0.0f);
    if (!(e->flags & effFlagsHasEditor))
    {
        if (opened == 0) return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure() << "an editor opened without the editor flag";
    }
    if (opened == 1) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "effEditOpen answered " << opened;
}

// Whether this effect has an editor that this machine can show.
bool EditorTestable(AEffect* e, const ParentWindow& parent)
{
    return (e->flags & effFlagsHasEditor) && parent.Handle();
}

TEST_F(ModuleStress, BatteryEditorOpensClosesAndReopensWhileAudioRuns)
{
    TestHost host;
    AEffect* e = Create(host);
    ASSERT_NE(e, nullptr);
    Start(e, 512);
    ParentWindow parent;
    if ((e->flags & effFlagsHasEditor) && !parent.Handle())
    {
        Close(e);
        GTEST_SKIP() << "the effect has an editor but there is no window system here";
    }

    {
        AudioThread audio(e, 512);
        audio.WaitBlocks(2);
        for (int round = 0; round < 3; ++round)
        {
            ASSERT_TRUE(OpenEditor(e, parent)) << "round " << round;
            Idle(e, 10);
            if (EditorTestable(e, parent))
            {
                ERect* rect = nullptr;
                ASSERT_EQ(Call(e, effEditGetRect, 0, 0, &rect), 1);
                EXPECT_EQ(rect->right - rect->left, 720);
                EXPECT_EQ(rect->bottom - rect->top, 650);
            }
            Call(e, effEditClose);
            Idle(e, 3);
        }
        audio.WaitBlocks(2);
        audio.Stop();
        EXPECT_EQ(audio.BadSamples(), 0);
    }
    EXPECT_EQ(host.OpenGestures(), 0);
    Close(e);
}

// The host closes the effect while its editor is still open, and only then
// destroys its own window; no message may reach the effect afterwards.
TEST_F(ModuleBattery, EffectClosesWithItsEditorOpen)
{
    ParentWindow parent;
    for (int round = 0; round < 2; ++round)
    {
        TestHost host;
        AEffect* e = Create(host);
        ASSERT_NE(e, nullptr);
        Start(e, 256);
        if ((e->flags & effFlagsHasEditor) && !parent.Handle())
        {
            Close(e);
            GTEST_SKIP() << "the effect has an editor but there is no window system here";
        }
        ASSERT_TRUE(OpenEditor(e, parent));
        Idle(e, 5);
        std::vector<float> buf(256, 0.25f);
        float* io[] = {buf.data(), buf.data()};
        e->processReplacing(e, io, io, 256);
        Close(e);
        ParentWindow::Pump();
        EXPECT_EQ(host.OpenGestures(), 0);
    }
}

// The state (the current program's values) and each program's own chunk,
// loaded into a fresh instance, read back as the same values and the same
// bytes.
TEST_F(ModuleBattery, StateAndProgramsSurviveAFreshInstanceByteForByte)
{
    TestHost hostA;
    AEffect* a = Create(hostA);
    ASSERT_NE(a, nullptr);
    Call(a, effOpen);
    Rng rng{11};
    // Each program its own values; program 5 stays as it loads.
    std::vector<std::vector<float>> programs;
    for (int p = 0; p < 6; ++p)
    {
        Call(a, effSetProgram, 0, p);
        for (int k = 0; p < 5 && k < 40; ++k)
        {
            // Every parameter but the two momentary contacts (Scl_Rst, Panic).
            const int index = rng.Below(kNumParams - 1);
            if (index != kSclRst) a->setParameter(a, index, rng.Unit());
        }
        programs.push_back(Params(a));
    }
    for (int p = 0; p < 6; ++p)
    {
        Call(a, effSetProgram, 0, p);
        for (int chunkKind : {0, 1})
        {
            const std::vector<unsigned char> saved = SaveChunk(a, chunkKind);
            ASSERT_FALSE(saved.empty()) << "program " << p;
            TestHost hostB;
            AEffect* b = Create(hostB);
            ASSERT_NE(b, nullptr);
            Call(b, effOpen);
            Call(b, effSetProgram, 0, p);
            EXPECT_EQ(LoadChunk(b, chunkKind, saved), 1) << "program " << p;
            EXPECT_EQ(SaveChunk(b, chunkKind), saved) << "program " << p << " kind " << chunkKind;
            const std::vector<float> loaded = Params(b);
            for (int i = 0; i < kNumParams; ++i)
                EXPECT_EQ(loaded[static_cast<std::size_t>(i)],
                          programs[static_cast<std::size_t>(p)][static_cast<std::size_t>(i)])
                    << "program " << p << " kind " << chunkKind << " parameter " << i;
            Close(b);
        }
    }
    Close(a);
}

// The scale reset is a momentary contact: pressed once, by the host or the
// editor, it puts the scale knobs back to their defaults then. A state or a
// program saved afterwards must load with the scale values it holds, not
// press the contact again, nor may the parameter list a host saves without
// a chunk.
TEST_F(ModuleBattery, ScaleResetPressedOnceDoesNotFireAgainOnLoad)
{
    TestHost hostA, hostB;
    AEffect* a = Create(hostA);
    AEffect* b = Create(hostB);
    ASSERT_TRUE(a && b);
    Call(a, effOpen);
    Call(b, effOpen);
    a->setParameter(a, kSclRst, 1.0f);
    a->setParameter(a, kSclDpth, 0.8f);
    EXPECT_EQ(a->getParameter(a, kSclRst), 0.0f);
    const float depth = a->getParameter(a, kSclDpth);
    EXPECT_EQ(LoadChunk(b, 0, SaveChunk(a, 0)), 1);
    EXPECT_EQ(b->getParameter(b, kSclDpth), depth);
    Call(a, effSetProgram, 0, 1);
    Call(a, effSetProgram, 0, 0);
    EXPECT_EQ(a->getParameter(a, kSclDpth), depth);
    Close(a);
    Close(b);
}

// Two states loaded in turn from the host's thread while another processes;
// the last one loaded is what the effect then saves.
TEST_F(ModuleStress, BatteryStateRestoredWhileAudioRuns)
{
    TestHost host;
    AEffect* e = Create(host);
    ASSERT_NE(e, nullptr);
    Start(e, 512);
    const std::vector<unsigned char> plain = SaveChunk(e, 0);
    ShortTailSettings(e);
    e->setParameter(e, kWet, 0.3f);
    const std::vector<unsigned char> busy = SaveChunk(e, 0);
    const std::vector<unsigned char> program = SaveChunk(e, 1);
    ASSERT_TRUE(!plain.empty() && !busy.empty() && !program.empty());
    ASSERT_NE(plain, busy);

    AudioThread audio(e, 512);
    std::thread loader(
        [&]
        {
            for (int i = 0; i < 60; ++i)
            {
                EXPECT_EQ(LoadChunk(e, 0, i % 2 ? busy : plain), 1);
                if (i % 5 == 0)
                {
                    EXPECT_EQ(LoadChunk(e, 1, program), 1);
                }
                audio.WaitBlocks(1);
            }
            EXPECT_EQ(LoadChunk(e, 0, busy), 1);
        });
    loader.join();
    audio.Stop();
    EXPECT_EQ(SaveChunk(e, 0), busy);
    EXPECT_GT(audio.Blocks(), 60);
    EXPECT_EQ(audio.BadSamples(), 0);
    Close(e);
}

// Every parameter swept through its range from one thread while another
// processes; where the editor can be shown, mouse gestures on its knobs at
// the same time. Each gesture reaches the host as a begin-edit, changes and
// an end-edit of one declared parameter.
TEST_F(ModuleStress, BatteryEveryParameterChangedWhileAudioRuns)
{
    TestHost host;
    AEffect* e = Create(host);
    ASSERT_NE(e, nullptr);
    Start(e, 512);
    ParentWindow parent;
    const bool editor = EditorTestable(e, parent);
    if (editor)
    {
        ASSERT_TRUE(OpenEditor(e, parent));
    }

    AudioThread audio(e, 512);
    std::atomic<bool> automationDone{false};
    std::thread automation(
        [&]
        {
            const float values[] = {0.0f, 1.0f, 0.5f, 0.25f, 0.999f, 0.001f, 0.75f};
            for (float v : values)
                for (int i = 0; i < kNumParams; ++i)
                {
                    e->setParameter(e, i, v);
                    const float back = e->getParameter(e, i);
                    if (!(back >= 0.0f && back <= 1.0f)) ADD_FAILURE() << i << " reads " << back;
                    if (i % 16 == 0) audio.WaitBlocks(1);
                }
            automationDone = true;
        });

#ifdef _WIN32
    if (editor)
    {
        // Drags, double-clicks and wheel turns on the global and scale knobs.
        const POINT knobs[] = {{506, 55},  {563, 55},  {620, 55},  {506, 124},
                               {432, 616}, {486, 616}, {551, 616}, {593, 616}};
        const HWND child = parent.Child();
        ASSERT_NE(child, nullptr);
        int round = 0;
        while (!automationDone || round < 2)
        {
            for (const POINT& k : knobs)
            {
                const int dy = round % 2 ? 3 : -3;
                SendMessageW(child, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(k.x, k.y));
                for (int step = 1; step <= 10; ++step)
                    SendMessageW(child, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(k.x, k.y + step * dy));
                SendMessageW(child, WM_LBUTTONUP, 0, MAKELPARAM(k.x, k.y + 10 * dy));
                SendMessageW(child, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(k.x, k.y));
                SendMessageW(child, WM_LBUTTONUP, 0, MAKELPARAM(k.x, k.y));
                POINT screen = k;
                ClientToScreen(child, &screen);
                SendMessageW(child, WM_MOUSEWHEEL, MAKEWPARAM(0, WHEEL_DELTA * (dy > 0 ? 1 : -1)),
                             MAKELPARAM(screen.x, screen.y));
            }
            Idle(e, 1);
            ++round;
        }
    }
#endif
    automation.join();
    audio.WaitBlocks(2);
    audio.Stop();
    if (editor)
    {
#ifdef _WIN32
        EXPECT_GT(host.beginEdits.load(), 0);
#endif
        Call(e, effEditClose);
    }
    EXPECT_EQ(host.beginEdits.load(), host.endEdits.load());
    EXPECT_EQ(host.OpenGestures(), 0);
    EXPECT_EQ(host.unmatchedEnds.load(), 0);
    EXPECT_EQ(host.undeclaredIndices.load(), 0);
    EXPECT_EQ(audio.BadSamples(), 0);
    Close(e);
}

// What a burst of noise and the silence after it gave.
struct TailRun
{
    long bad = 0;
    double energy = 0.0;
    double tailPeak = 0.0;
};

// Feeds 20 ms of noise, then silence, in blocks of the given length (0:
// lengths that vary from 1 to 4096). Counts samples that are not clean and
// keeps the largest magnitude of the last 10 ms. A low-pass set above the
// Nyquist frequency is designed just below it, where one of its poles sits
// near -1: at 22050 Hz that ring fades at only about 200 dB/s, so the low
// rates get a longer tail.
template <typename Sample> TailRun RunBurstAndTail(AEffect* e, double rate, int block)
{
    constexpr int kMax = 4096;
    const int total = static_cast<int>(rate * (rate < 32000 ? 1.3 : 0.45));
    const int burst = static_cast<int>(rate * 0.02);
    const int tailFrom = total - static_cast<int>(rate * 0.01);
    std::vector<Sample> inL(kMax), inR(kMax), outL(kMax), outR(kMax);
    Sample* in[] = {inL.data(), inR.data()};
    Sample* out[] = {outL.data(), outR.data()};
    Rng rng{static_cast<std::uint32_t>(block + 1)};
    TailRun run;
    for (int pos = 0; pos < total;)
    {
        int n = block ? block : (rng.Below(4) ? 1 + rng.Below(64) : 1 + rng.Below(kMax));
        n = std::min(n, total - pos);
        for (int i = 0; i < n; ++i)
        {
            const bool loud = pos + i < burst;
            inL[static_cast<std::size_t>(i)] = loud ? static_cast<Sample>(rng.Unit() * 2 - 1) : 0;
            inR[static_cast<std::size_t>(i)] = loud ? static_cast<Sample>(rng.Unit() * 2 - 1) : 0;
        }
        Process(e, in, out, n);
        for (int i = 0; i < n; ++i)
            for (const Sample s :
                 {outL[static_cast<std::size_t>(i)], outR[static_cast<std::size_t>(i)]})
            {
                if (!Clean(s)) ++run.bad;
                const double m = std::fabs(static_cast<double>(s));
                run.energy += m * m;
                if (pos + i >= tailFrom) run.tailPeak = std::max(run.tailPeak, m);
            }
        pos += n;
    }
    return run;
}

// One instance taken through every rate and block length, switched off and
// on around each change as hosts do.
template <typename Sample> void EveryRateAndBlockLength(AEffect* e)
{
    const double rates[] = {22050, 44100, 48000, 88200, 96000, 176400, 192000};
    const int blocks[] = {1, 2, 31, 32, 33, 64, 511, 4096, 0};
    for (double rate : rates)
        for (int block : blocks)
        {
            e->dispatcher(e, effMainsChanged, 0, 0, nullptr, 0.0f);
            e->dispatcher(e, effSetSampleRate, 0, 0, nullptr, static_cast<float>(rate));
            e->dispatcher(e, effSetBlockSize, 0, block ? block : 4096, nullptr, 0.0f);
            e->dispatcher(e, effMainsChanged, 0, 1, nullptr, 0.0f);
            const TailRun run = RunBurstAndTail<Sample>(e, rate, block);
            EXPECT_EQ(run.bad, 0) << rate << " Hz, blocks of " << block;
            // The output level glides in block by block after switching on,
            // so long blocks let little of the burst through, but some.
            EXPECT_GT(run.energy, 0.0) << rate << " Hz, blocks of " << block;
            EXPECT_LT(run.tailPeak, 1e-15) << rate << " Hz, blocks of " << block;
        }
}

TEST_F(ModuleBattery, EveryRateAndBlockLengthFloat)
{
    TestHost host;
    AEffect* e = Create(host);
    ASSERT_NE(e, nullptr);
    Start(e, 4096);
    ShortTailSettings(e);
    EXPECT_LT(std::atof(Display(e, kTime + 7).c_str()), 10.0);
    EXPECT_EQ(Display(e, kIn + 4), "S");
    EXPECT_EQ(Display(e, kRx + 1), "A");
    EXPECT_EQ(Display(e, kFb), "-25.00");
    EveryRateAndBlockLength<float>(e);
    Close(e);
}

TEST_F(ModuleBattery, EveryRateAndBlockLengthDouble)
{
    TestHost host;
    AEffect* e = Create(host);
    ASSERT_NE(e, nullptr);
    Start(e, 4096);
    ShortTailSettings(e);
    e->setParameter(e, kFbScale, 0.5f);
    EveryRateAndBlockLength<double>(e);
    Close(e);
}

// After switching on, the output level glides in from silence. How long
// that takes is a matter of time, the same whatever block length the host
// uses: 0.3 s of a steady input through the dry path alone comes out at the
// same level in blocks of 32 and of 4096 samples.
TEST_F(ModuleBattery, FadeInLastsTheSameTimeAtEveryBlockLength)
{
    double level[2] = {};
    const int lengths[2] = {32, 4096};
    for (int k = 0; k < 2; ++k)
    {
        TestHost host;
        AEffect* e = Create(host);
        ASSERT_NE(e, nullptr);
        e->setParameter(e, kWet, 0.0f);
        Start(e, lengths[k]);
        std::vector<float> in(static_cast<std::size_t>(lengths[k]), 0.5f), outL(in), outR(in);
        float* ins[] = {in.data(), in.data()};
        float* outs[] = {outL.data(), outR.data()};
        for (int done = 0; done < 13230; done += lengths[k])
        {
            const int n = std::min(lengths[k], 13230 - done);
            e->processReplacing(e, ins, outs, n);
            level[k] = outL[static_cast<std::size_t>(n - 1)];
        }
        Close(e);
    }
    // The gain steps once a block, so the two differ by a step at most.
    EXPECT_GT(level[0], 0.2);
    EXPECT_NEAR(level[1], level[0], 0.03 * level[0]);
}

#ifdef ZELBOR_ALLOC_HOOKS
// Allocations made on a thread while it counts; the first few print their
// stack, which names the allocating code.
thread_local bool tCounting = false;
thread_local bool tPrintStacks = false;
thread_local long tAllocations = 0;

void OnMalloc(const volatile void*, std::size_t)
{
    if (!tCounting) return;
    ++tAllocations;
    if (tPrintStacks && tAllocations <= 3)
    {
        tCounting = false;
        __sanitizer_print_stack_trace();
        tCounting = true;
    }
}
void OnFree(const volatile void*) {}

long CountAllocations(const std::function<void()>& work)
{
    tAllocations = 0;
    tCounting = true;
    work();
    tCounting = false;
    return tAllocations;
}
#endif

TEST_F(ModuleBattery, AudioThreadNeverAllocatesAfterTheFirstBlock)
{
#ifndef ZELBOR_ALLOC_HOOKS
    GTEST_SKIP() << "allocations are counted through the sanitizer's hooks";
#else
    static const bool installed = __sanitizer_install_malloc_and_free_hooks(&OnMalloc, &OnFree);
    ASSERT_TRUE(installed);

    TestHost host;
    AEffect* e = nullptr;
    // The hooks see the module's own allocations: creating and saving do
    // allocate.
    EXPECT_GT(CountAllocations(
                  [&]
                  {
                      e = Create(host);
                      Start(e, 512);
                  }),
              0);
    ASSERT_NE(e, nullptr);
    ShortTailSettings(e);

    std::thread audio(
        [&]
        {
            constexpr int kMax = 512;
            std::vector<float> inL(kMax, 0.1f), inR(kMax, -0.1f), outL(kMax), outR(kMax);
            std::vector<double> dInL(kMax, 0.1), dInR(kMax, -0.1), dOutL(kMax), dOutR(kMax);
            float* in[] = {inL.data(), inR.data()};
            float* out[] = {outL.data(), outR.data()};
            double* dIn[] = {dInL.data(), dInR.data()};
            double* dOut[] = {dOutL.data(), dOutR.data()};
            e->processReplacing(e, in, out, kMax);
            tPrintStacks = true;
            Rng rng{5};
            const long allocations = CountAllocations(
                [&]
                {
                    for (int block = 2; block <= 3000; ++block)
                    {
                        // Host automation between blocks, on this thread as
                        // hosts play it back; every parameter but Panic.
                        for (int k = 0; k < 3; ++k)
                            e->setParameter(e, rng.Below(kNumParams - 1), rng.Unit());
                        host.time.tempo = 60.0 + rng.Below(120);
                        host.time.samplePos += kMax;
                        const int n = 1 + rng.Below(kMax);
                        if (block % 2)
                            e->processReplacing(e, in, out, n);
                        else
                            e->processDoubleReplacing(e, dIn, dOut, n);
                    }
                });
            EXPECT_EQ(allocations, 0) << "allocations on the audio thread (stacks above)";
        });
    audio.join();
    Close(e);
#endif
}

} // namespace
