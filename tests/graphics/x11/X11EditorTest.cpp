// The Linux module's editor in a real X server, opened through the
// dispatcher in a window of the test's own and driven with XTest input. What
// the effect does is read back through getParameter and the host calls it
// makes; the expected values come from the parameters of an effect built
// into the test.

#include "X11Host.h"
#include "graphics/headless/IGraphicsHeadless.h"
#include "plugin/Delay.h"
#include "plugin/DelayEditor.h"
#include "plugin/DelayParams.h"
#include "raster/LICE_MemBitmap.h"
#include "raster/LICE_SysBitmap.h"
#include "raster/PngWriter.h"
#include "tests/support/ScratchDir.h"

#include <X11/keysym.h>
#include <atomic>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdlib>
#include <ctime>
#include <dirent.h>
#include <dlfcn.h>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

// The module's flush of a file to disk. Armed by a test, it stands for a slow
// disk: it waits (up to a second) for the host's audio thread to get through
// blocks before the flush goes ahead.
std::atomic<bool> gSlowFlush{false};
std::atomic<int> gAudioBlocks{0};
std::atomic<bool> gAudioRanDuringFlush{false};

extern "C" int fsync(int fd)
{
    if (gSlowFlush.exchange(false))
    {
        // A block that was ending when the flush began may still be counted.
        const int before = gAudioBlocks.load();
        for (int i = 0; i < 200 && gAudioBlocks.load() < before + 2; ++i)
            usleep(5000);
        gAudioRanDuringFlush = gAudioBlocks.load() >= before + 2;
    }
    static const auto real = reinterpret_cast<int (*)(int)>(dlsym(RTLD_NEXT, "fsync"));
    return real(fd);
}

namespace
{
constexpr int kWidth = 720;
constexpr int kHeight = 650;
// Centres of controls of the layout.
constexpr int kWetX = 506, kWetY = 55;
constexpr int kDryX = 563, kDryY = 55;
constexpr int kPresetX = 566, kPresetY = 172;

int Row(int tap)
{
    return 305 + 32 * tap;
}

int64_t NowMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// The normalized value the effect's parameter has for a plain value.
float Normalized(int idx, double plain)
{
    static Delay reference(nullptr);
    return static_cast<float>(reference.GetParam(idx)->ToNormalized(plain));
}

// What the process holds that an editor could leak: sockets (display
// connections), shared-memory segments, mapped font files.
struct Holdings
{
    int sockets = 0;
    int segments = 0;
    int fontMaps = 0;

    static Holdings Now()
    {
        Holdings h;
        if (DIR* dir = opendir("/proc/self/fd"))
        {
            while (const dirent* e = readdir(dir))
            {
                struct stat st;
                const std::string path = std::string("/proc/self/fd/") + e->d_name;
                if (e->d_name[0] != '.' && stat(path.c_str(), &st) == 0 && S_ISSOCK(st.st_mode))
                {
                    ++h.sockets;
                }
            }
            closedir(dir);
        }
        std::ifstream shm("/proc/sysvipc/shm");
        for (std::string line; std::getline(shm, line);)
        {
            ++h.segments;
        }
        std::ifstream maps("/proc/self/maps");
        for (std::string line; std::getline(maps, line);)
        {
            h.fontMaps += line.find(".ttf") != std::string::npos ? 1 : 0;
        }
        return h;
    }
    bool operator==(const Holdings& o) const
    {
        return sockets == o.sockets && segments == o.segments && fontMaps == o.fontMaps;
    }
};

std::ostream& operator<<(std::ostream& out, const Holdings& h)
{
    return out << h.sockets << " sockets, " << h.segments << " segments, " << h.fontMaps
               << " font maps";
}

// PATH set to folder while the object lives: which helper programs the
// editor finds.
struct SearchPath
{
    std::string saved = std::getenv("PATH") ? std::getenv("PATH") : "";
    explicit SearchPath(const std::string& folder) { setenv("PATH", folder.c_str(), 1); }
    ~SearchPath() { setenv("PATH", saved.c_str(), 1); }
};

// One block of silence through the effect, as a host's audio thread runs it.
void ProcessSilence(AEffect* effect)
{
    float silence[64] = {};
    float left[64], right[64];
    float* ins[2] = {silence, silence};
    float* outs[2] = {left, right};
    effect->processReplacing(effect, ins, outs, 64);
}

// One effect with its editor open in a window at (x, 0).
struct OpenEditor
{
    X11HostLog log;
    AEffect* effect = nullptr;
    Window parent = 0;
    int x = 0;

    void Open(int left)
    {
        x = left;
        effect = X11Host::Create(log);
        ASSERT_NE(effect, nullptr);
        parent = X11Host::MakeParent(x, 0);
        ASSERT_EQ(X11Host::Call(effect, effEditOpen, 0, 0,
                                reinterpret_cast<void*>(static_cast<uintptr_t>(parent))),
                  1);
    }
    void Close()
    {
        if (effect)
        {
            X11Host::Call(effect, effEditClose);
            X11Host::Destroy(effect);
            effect = nullptr;
        }
        if (parent)
        {
            X11Host::DestroyWindow(parent);
            parent = 0;
        }
    }
    float Param(int idx) const { return effect->getParameter(effect, idx); }
    Window Editor() const { return X11Host::FirstChild(parent); }
};

// Parameter: whether the host calls effEditIdle (the editor's own thread
// steps in when it does not).
class X11EditorTest : public ::testing::TestWithParam<bool>
{
protected:
    void SetUp() override
    {
        std::string why;
        ASSERT_TRUE(X11Host::Start(why)) << why;
        main.Open(0);
        if (GetParam())
        {
            // The host's user-interface thread: an idle call every 10 ms. A
            // menu runs inside one, as a modal menu runs on that thread.
            idler = std::thread(
                [this]
                {
                    while (!stopIdling)
                    {
                        X11Host::Call(main.effect, effEditIdle);
                        std::this_thread::sleep_for(std::chrono::milliseconds(10));
                    }
                });
        }
        Run(300);
        main.log.Clear();
    }
    void TearDown() override
    {
        stopIdling = true;
        if (idler.joinable())
        {
            idler.join();
        }
        main.Close();
    }

    static void Run(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }
    bool WaitFor(const std::function<bool()>& done, int ms = 3000)
    {
        const int64_t end = NowMs() + ms;
        while (NowMs() < end)
        {
            if (done())
            {
                return true;
            }
            Run(10);
        }
        return done();
    }
    // A click that no earlier one pairs with into a double-click.
    void Click(int x, int y, unsigned button = 1)
    {
        Run(static_cast<int>(std::max<int64_t>(0, lastClick + 450 - NowMs())));
        X11Host::Click(x, y, button);
        lastClick = NowMs();
    }
    void Drag(int x, int y, int dx, int dy)
    {
        Run(static_cast<int>(std::max<int64_t>(0, lastClick + 450 - NowMs())));
        X11Host::MoveTo(x, y);
        X11Host::Button(1, true);
        Run(30);
        X11Host::MoveTo(x + dx / 2, y + dy / 2);
        Run(30);
        X11Host::MoveTo(x + dx, y + dy);
        Run(30);
        X11Host::Button(1, false);
        lastClick = NowMs();
    }
    bool ValueBecomes(int idx, float expected)
    {
        return WaitFor([&] { return std::fabs(main.Param(idx) - expected) < 1e-4f; });
    }
    std::vector<X11Host::Rect> WaitForPopups(size_t n)
    {
        std::vector<X11Host::Rect> popups;
        WaitFor([&] { return (popups = X11Host::Popups()).size() == n; });
        return popups;
    }
    // Chooses "Save As ..." in the preset menu (it follows the presets, two
    // separators, "Load ..." and "Save") and waits for the editor's own path
    // entry, which opens when no chooser is installed.
    void OpenSaveAs()
    {
        Click(kPresetX, kPresetY);
        ASSERT_EQ(WaitForPopups(1).size(), 1u);
        for (int i = 0; i < 5; ++i)
            X11Host::Key(XK_Down);
        X11Host::Key(XK_Return);
        EXPECT_TRUE(WaitFor([&] { return X11Host::Children(main.Editor()) == 1; }));
    }
    // Right-clicks the control and waits for its entry.
    void OpenEntry(int x, int y)
    {
        Click(x, y, 3);
        ASSERT_TRUE(WaitFor([&] { return X11Host::Children(main.Editor()) == 1; }));
        Run(50);
        main.log.Clear();
    }

    OpenEditor main;
    std::thread idler;
    std::atomic<bool> stopIdling{false};
    int64_t lastClick = 0;
};

INSTANTIATE_TEST_SUITE_P(Hosts, X11EditorTest, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "IdleCalls" : "NoIdleCalls"; });

TEST_P(X11EditorTest, KnobDragsAreGesturesAndShiftMakesThemFine)
{
    // A 40 px knob with divisor 8: a 40 px drag up adds an eighth.
    const float before = main.Param(kParamWet);
    Drag(kWetX, kWetY, 0, -40);
    EXPECT_TRUE(ValueBecomes(kParamWet, before + 0.125f)) << main.Param(kParamWet);
    Run(50);
    EXPECT_EQ(main.log.Edits(), "B0 A0 E0");

    main.log.Clear();
    X11Host::HoldKey(XK_Shift_L, true);
    Drag(kWetX, kWetY, 0, 40);
    X11Host::HoldKey(XK_Shift_L, false);
    EXPECT_TRUE(ValueBecomes(kParamWet, before + 0.125f - 0.0125f)) << main.Param(kParamWet);
    Run(50);
    EXPECT_EQ(main.log.Edits(), "B0 A0 E0");
}

TEST_P(X11EditorTest, SwitchClickWheelAndDoubleClick)
{
    const int mains = kBaseMains + 0;
    const float on = main.Param(mains);
    Click(644 + 7, Row(0) + 4 + 7);
    EXPECT_TRUE(ValueBecomes(mains, 1.0f - on));
    EXPECT_TRUE(WaitFor([&] { return main.log.Edits() == "B166 A166 E166"; })) << main.log.Edits();

    // One notch per wheel button press; the horizontal buttons do nothing.
    const float dry = main.Param(kParamDry);
    X11Host::MoveTo(kDryX, kDryY);
    X11Host::Click(kDryX, kDryY, 4);
    EXPECT_TRUE(ValueBecomes(kParamDry, dry + 0.01f)) << main.Param(kParamDry);
    X11Host::Click(kDryX, kDryY, 6);
    X11Host::Click(kDryX, kDryY, 7);
    X11Host::Click(kDryX, kDryY, 5);
    X11Host::Click(kDryX, kDryY, 5);
    EXPECT_TRUE(ValueBecomes(kParamDry, dry - 0.01f)) << main.Param(kParamDry);

    // A double-click puts the knob back to its value when the editor opened.
    Drag(kDryX, kDryY, 0, -40);
    EXPECT_TRUE(ValueBecomes(kParamDry, dry - 0.01f + 0.125f));
    Run(500);
    X11Host::Click(kDryX, kDryY);
    X11Host::Click(kDryX, kDryY);
    EXPECT_TRUE(ValueBecomes(kParamDry, dry)) << main.Param(kParamDry);
}

TEST_P(X11EditorTest, EntryCommitsOnReturnAndGoesOnEscape)
{
    OpenEntry(kDryX, kDryY);
    X11Host::Type("0.25");
    X11Host::Key(XK_Return);
    EXPECT_TRUE(ValueBecomes(kParamDry, Normalized(kParamDry, 0.25)));
    EXPECT_TRUE(WaitFor([&] { return X11Host::Children(main.Editor()) == 0; }));
    EXPECT_EQ(main.log.Edits(), "B1 A1 E1");

    OpenEntry(kDryX, kDryY);
    X11Host::Type("0.5");
    X11Host::Key(XK_Escape);
    EXPECT_TRUE(WaitFor([&] { return X11Host::Children(main.Editor()) == 0; }));
    // A right click anywhere only cancels.
    OpenEntry(kDryX, kDryY);
    X11Host::Type("0.5");
    Click(kWetX, kWetY, 3);
    EXPECT_TRUE(WaitFor([&] { return X11Host::Children(main.Editor()) == 0; }));
    Run(100);
    EXPECT_FLOAT_EQ(main.Param(kParamDry), Normalized(kParamDry, 0.25));
    EXPECT_EQ(main.log.Edits(), "");
}

TEST_P(X11EditorTest, ClickOutsideTheEntryCommitsAndPresses)
{
    const float wet = main.Param(kParamWet);
    OpenEntry(kDryX, kDryY);
    // Typing replaces the selected text: "10.45", then "0.45", then "0.5".
    X11Host::Type("10.45");
    X11Host::Key(XK_Home);
    X11Host::Key(XK_Delete);
    X11Host::Key(XK_End);
    X11Host::Key(XK_Left);
    X11Host::Key(XK_BackSpace);
    Drag(kWetX, kWetY, 0, -40);
    EXPECT_TRUE(ValueBecomes(kParamDry, Normalized(kParamDry, 0.5)));
    EXPECT_TRUE(ValueBecomes(kParamWet, wet + 0.125f));
    Run(50);
    EXPECT_EQ(main.log.Edits(), "B1 A1 E1 B0 A0 E0");
}

TEST_P(X11EditorTest, ValueMenuByMouseAndByKeys)
{
    const int mode = kBaseMode + 1;
    ASSERT_EQ(main.Param(mode), 1.0f); // msec
    // "bpm", "msec", a separator, "join": 20 px a line, 8 the separator.
    Click(110, Row(1) + 15, 3);
    auto popups = WaitForPopups(1);
    ASSERT_EQ(popups.size(), 1u);
    Click(popups[0].x + 30, popups[0].y + 11);
    EXPECT_TRUE(ValueBecomes(mode, 0.0f));
    EXPECT_TRUE(WaitForPopups(0).empty());

    Click(110, Row(1) + 15, 3);
    ASSERT_EQ(WaitForPopups(1).size(), 1u);
    X11Host::Key(XK_Down);
    X11Host::Key(XK_Down);
    X11Host::Key(XK_Return);
    EXPECT_TRUE(ValueBecomes(mode, 1.0f));

    // Escape and a click outside close it unchosen. A menu left open (with
    // idle calls, inside one, so they stop) keeps the process waiting.
    Click(110, Row(1) + 15, 3);
    ASSERT_EQ(WaitForPopups(1).size(), 1u);
    Run(300);
    const std::clock_t cpu = std::clock();
    Run(500);
    EXPECT_LT(static_cast<double>(std::clock() - cpu) / CLOCKS_PER_SEC, 0.25);
    X11Host::Key(XK_Down);
    X11Host::Key(XK_Escape);
    EXPECT_TRUE(WaitForPopups(0).empty());
    Click(110, Row(1) + 15, 3);
    popups = WaitForPopups(1);
    ASSERT_EQ(popups.size(), 1u);
    Click(popups[0].x + popups[0].w + 50, popups[0].y + 11);
    EXPECT_TRUE(WaitForPopups(0).empty());
    Run(100);
    EXPECT_EQ(main.Param(mode), 1.0f);

    // Tap A has nothing to join on: its greyed "join" cannot be chosen,
    // neither by a click nor by Return.
    Click(110, Row(0) + 15, 3);
    popups = WaitForPopups(1);
    ASSERT_EQ(popups.size(), 1u);
    Click(popups[0].x + 30, popups[0].y + 1 + 20 + 20 + 8 + 10);
    X11Host::Key(XK_Return); // on "join", which the pointer highlights
    Run(200);
    EXPECT_EQ(X11Host::Popups().size(), 1u);
    X11Host::Key(XK_Escape);
    EXPECT_TRUE(WaitForPopups(0).empty());
    EXPECT_EQ(main.Param(kBaseMode + 0), 1.0f);
}

TEST_P(X11EditorTest, PresetMenuOpensItsFolderAsASubmenu)
{
    // The presets come first ("Top", then the folder "Nested" holding
    // "Inner"), then the commands.
    Click(kPresetX, kPresetY);
    ASSERT_EQ(WaitForPopups(1).size(), 1u);
    X11Host::Key(XK_Down);
    X11Host::Key(XK_Down);
    X11Host::Key(XK_Right);
    ASSERT_EQ(WaitForPopups(2).size(), 2u);
    X11Host::Key(XK_Return);
    EXPECT_TRUE(ValueBecomes(kParamWet, Normalized(kParamWet, 0.333)));
    EXPECT_TRUE(WaitForPopups(0).empty());

    // By mouse: the folder's line opens it, the preset's line chooses it.
    Click(kPresetX, kPresetY);
    auto popups = WaitForPopups(1);
    ASSERT_EQ(popups.size(), 1u);
    Click(popups[0].x + 30, popups[0].y + 11);
    EXPECT_TRUE(ValueBecomes(kParamWet, Normalized(kParamWet, 0.2)));
}

TEST_P(X11EditorTest, WithoutADesktopChooserThePathIsTypedInTheEditor)
{
    // No chooser program can be found.
    const SearchPath none("/nonexistent");
    // "Load ..." follows the presets and a separator.
    Click(kPresetX, kPresetY);
    ASSERT_EQ(WaitForPopups(1).size(), 1u);
    X11Host::Key(XK_Down);
    X11Host::Key(XK_Down);
    X11Host::Key(XK_Down);
    X11Host::Key(XK_Return);
    // The entry starts with the preset folder, the caret at its end.
    EXPECT_TRUE(WaitFor([&] { return X11Host::Children(main.Editor()) == 1; }));
    X11Host::Type("Nested/Inner.preset");
    X11Host::Key(XK_Return);
    EXPECT_TRUE(ValueBecomes(kParamWet, Normalized(kParamWet, 0.333)));
    EXPECT_EQ(X11Host::Children(main.Editor()), 0);
}

// Saving over a typed path that names a file asks first: Escape keeps it.
TEST_P(X11EditorTest, ATypedSaveAsksBeforeReplacingAFile)
{
    const SearchPath none("/nonexistent");
    const fs::path top = X11Host::Folder().Path() / "Presets" / "Top.preset";
    const std::string before = ReadBytes(top);
    // Where the preset menu opens, below the preset field.
    auto underMenu = [this]
    {
        const std::vector<uint32_t> shown = X11Host::Capture(main.Editor(), kWidth, kHeight);
        std::vector<uint32_t> area;
        for (int y = kPresetY + 12; y < kPresetY + 130; ++y)
            area.insert(area.end(), shown.begin() + y * kWidth + kPresetX,
                        shown.begin() + y * kWidth + kPresetX + 110);
        return area;
    };
    const std::vector<uint32_t> editor = underMenu();
    ASSERT_NO_FATAL_FAILURE(OpenSaveAs());
    X11Host::Type("Top.preset");
    X11Host::Key(XK_Return);
    EXPECT_EQ(WaitForPopups(1).size(), 1u);
    // While the question waits, the closed preset menu's area shows the
    // editor again.
    EXPECT_TRUE(WaitFor([&] { return underMenu() == editor; }, 1000));
    X11Host::Key(XK_Escape);
    EXPECT_TRUE(WaitForPopups(0).empty());
    Run(200);
    EXPECT_EQ(ReadBytes(top), before);
}

// Saving a preset puts the file on disk, which can take a while; audio goes
// on meanwhile.
TEST_P(X11EditorTest, AudioRunsWhileAPresetGoesToDisk)
{
    const SearchPath none("/nonexistent");
    const fs::path file = X11Host::Folder().Path() / "Presets" / "Flushed.preset";
    ASSERT_NO_FATAL_FAILURE(OpenSaveAs());
    X11Host::Type("Flushed");
    fs::remove(file);
    gAudioRanDuringFlush = false;
    std::atomic<bool> stop{false};
    std::thread audio(
        [&]
        {
            // A block every half millisecond, as a sound card asks for them.
            for (; !stop; ++gAudioBlocks, usleep(500))
                ProcessSilence(main.effect);
        });
    gSlowFlush = true;
    X11Host::Key(XK_Return);
    const bool saved = WaitFor([&] { return fs::exists(file); });
    stop = true;
    audio.join();
    gSlowFlush = false;
    EXPECT_TRUE(saved);
    EXPECT_TRUE(gAudioRanDuringFlush);
    fs::remove(file);
}

// A desktop chooser picks the file, in a host that leaves its children to
// the system (SIGCHLD ignored), so the chooser's exit status is gone.
TEST_P(X11EditorTest, TheChoosersPathLoadsWhenTheHostReapsChildren)
{
    ScratchDir bin;
    WriteBytes(bin.Path() / "zenity", "#!/bin/sh\n"
                                      "for a in \"$@\"; do\n"
                                      "  case $a in --filename=*) dir=${a#--filename=} ;; esac\n"
                                      "done\n"
                                      "echo \"${dir%/}/Nested/Inner.preset\"\n");
    fs::permissions(bin.Path() / "zenity", fs::perms::owner_all);
    // "Load ..." follows the presets and a separator.
    Click(kPresetX, kPresetY);
    ASSERT_EQ(WaitForPopups(1).size(), 1u);
    const SearchPath standIn(bin.Utf8Path());
    struct sigaction ignore = {}, before = {};
    ignore.sa_handler = SIG_IGN;
    sigaction(SIGCHLD, &ignore, &before);
    for (const unsigned long key : {XK_Down, XK_Down, XK_Down, XK_Return})
        X11Host::Key(key);
    EXPECT_TRUE(ValueBecomes(kParamWet, Normalized(kParamWet, 0.333)));
    sigaction(SIGCHLD, &before, nullptr);
}

TEST_P(X11EditorTest, ReopensAfterClosing)
{
    X11Host::Call(main.effect, effEditClose);
    EXPECT_EQ(X11Host::Children(main.parent), 0);
    ASSERT_EQ(X11Host::Call(main.effect, effEditOpen, 0, 0,
                            reinterpret_cast<void*>(static_cast<uintptr_t>(main.parent))),
              1);
    EXPECT_EQ(X11Host::Children(main.parent), 1);
    Run(200);
    const float before = main.Param(kParamWet);
    Drag(kWetX, kWetY, 0, -40);
    EXPECT_TRUE(ValueBecomes(kParamWet, before + 0.125f));
}

// Someone kills the editor's window, and with it the editor's connection to
// the server: the host goes on, the effect still runs and answers, the
// editor's thread waits quietly, and closing and opening again gives a
// working editor.
TEST_P(X11EditorTest, SurvivesItsConnectionBeingKilled)
{
    X11Host::KillClientOf(main.Editor());
    EXPECT_TRUE(WaitFor([&] { return X11Host::Children(main.parent) == 0; }));
    const std::clock_t cpu = std::clock();
    Run(500);
    EXPECT_LT(static_cast<double>(std::clock() - cpu) / CLOCKS_PER_SEC, 0.25);

    ProcessSilence(main.effect);
    const float wet = main.Param(kParamWet);
    main.effect->setParameter(main.effect, kParamWet, 0.25f);
    EXPECT_FLOAT_EQ(main.Param(kParamWet), 0.25f);
    main.effect->setParameter(main.effect, kParamWet, wet);

    X11Host::Call(main.effect, effEditClose);
    ASSERT_EQ(X11Host::Call(main.effect, effEditOpen, 0, 0,
                            reinterpret_cast<void*>(static_cast<uintptr_t>(main.parent))),
              1);
    EXPECT_EQ(X11Host::Children(main.parent), 1);
    Run(200);
    Drag(kWetX, kWetY, 0, -40);
    EXPECT_TRUE(ValueBecomes(kParamWet, wet + 0.125f));
}

// The server stops answering (stalled, or a remote display that hangs): the
// editor waits for it, but never while holding the effect, so audio goes on.
TEST_P(X11EditorTest, AStalledServerDoesNotHoldUpAudio)
{
    const pid_t server = X11Host::ServerPid();
    ASSERT_GT(server, 0);
    struct Stopped
    {
        pid_t pid;
        ~Stopped() { kill(pid, SIGCONT); }
    } stopped{server};
    kill(server, SIGSTOP);
    // A knob the editor repaints, and puts on the screen.
    main.effect->setParameter(main.effect, kParamWet, 0.25f);
    Run(300);
    std::atomic<bool> done{false};
    std::thread audio(
        [&]
        {
            ProcessSilence(main.effect);
            done = true;
        });
    EXPECT_TRUE(WaitFor([&] { return done.load(); }, 1000));
    kill(server, SIGCONT);
    audio.join();
}

TEST_P(X11EditorTest, ClosingDuringADragEndsItsGesture)
{
    X11Host::MoveTo(kWetX, kWetY);
    X11Host::Button(1, true);
    X11Host::MoveTo(kWetX, kWetY - 20);
    EXPECT_TRUE(WaitFor([&] { return main.log.Edits() == "B0 A0"; })) << main.log.Edits();
    X11Host::Call(main.effect, effEditClose);
    X11Host::Button(1, false);
    EXPECT_EQ(main.log.Edits(), "B0 A0 E0");
}

TEST_P(X11EditorTest, TwoEditorsEachDriveTheirOwnEffect)
{
    OpenEditor second;
    second.Open(600);
    Run(300);
    const float wet1 = main.Param(kParamWet);
    const float wet2 = second.Param(kParamWet);
    Drag(600 + kWetX, kWetY, 0, -40);
    EXPECT_TRUE(
        WaitFor([&] { return std::fabs(second.Param(kParamWet) - (wet2 + 0.125f)) < 1e-4f; }));
    EXPECT_EQ(main.Param(kParamWet), wet1);
    Drag(kWetX, kWetY, 0, 40);
    EXPECT_TRUE(ValueBecomes(kParamWet, wet1 - 0.125f));
    EXPECT_FLOAT_EQ(second.Param(kParamWet), wet2 + 0.125f);
    second.Close();
}

TEST_P(X11EditorTest, WindowShowsWhatTheHeadlessEditorDraws)
{
    Run(300);
    const std::vector<uint32_t> shown = X11Host::Capture(main.Editor(), kWidth, kHeight);
    ASSERT_EQ(shown.size(), static_cast<size_t>(kWidth * kHeight));

    // The same editor drawn by the headless layer of an effect in the test.
    Delay reference(nullptr);
    auto* headless = dynamic_cast<IGraphicsHeadless*>(reference.EditorView()->Graphics());
    ASSERT_NE(headless, nullptr);
    headless->OpenEditorWindow(this);
    headless->PaintAll();
    const uint32_t* bits = headless->BackBufferBits();
    const int span = headless->BackBuffer()->RowSpan();
    int differ = 0;
    for (int y = 0; y < kHeight; ++y)
    {
        for (int x = 0; x < kWidth; ++x)
        {
            // Two text boxes differ with the effects' histories: the preset
            // name (the preset folders differ) and the value readout (the
            // module's effect was opened by a host).
            if ((x >= 488 && x < 645 && y >= 164 && y < 184) ||
                (x >= 416 && x < 560 && y >= 213 && y < 233))
            {
                continue;
            }
            const uint32_t want = bits[y * span + x] & 0xFFFFFFu;
            const uint32_t got = shown[static_cast<size_t>(y) * kWidth + x];
            if (want != got)
            {
                ++differ;
            }
        }
    }
    EXPECT_EQ(differ, 0);

    if (const char* path = std::getenv("ZELBOR_EDITOR_CAPTURE"); path && *path && !GetParam())
    {
        LICE_MemBitmap picture(kWidth, kHeight);
        for (int y = 0; y < kHeight; ++y)
        {
            for (int x = 0; x < kWidth; ++x)
            {
                picture.Bits()[y * picture.RowSpan() + x] =
                    0xFF000000u | shown[static_cast<size_t>(y) * kWidth + x];
            }
        }
        EXPECT_TRUE(WritePngFile(&picture, path, true));
    }
}

TEST(X11Editor, RefusesParentsThatAreNoWindows)
{
    std::string why;
    ASSERT_TRUE(X11Host::Start(why)) << why;
    X11HostLog log;
    AEffect* effect = X11Host::Create(log);
    ASSERT_NE(effect, nullptr);
    const Holdings before = Holdings::Now();
    EXPECT_EQ(X11Host::Call(effect, effEditOpen, 0, 0, nullptr), 0);
    const Window gone = X11Host::MakeParent(0, 0);
    X11Host::DestroyWindow(gone);
    EXPECT_EQ(X11Host::Call(effect, effEditOpen, 0, 0,
                            reinterpret_cast<void*>(static_cast<uintptr_t>(gone))),
              0);
    EXPECT_EQ(Holdings::Now(), before);
    X11Host::Destroy(effect);
}

TEST(X11Editor, OpeningAndClosingLeavesNothingBehind)
{
    std::string why;
    ASSERT_TRUE(X11Host::Start(why)) << why;
    OpenEditor editor;
    editor.Open(0);
    // The text styles make their fonts at the first painting and keep them.
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    X11Host::Call(editor.effect, effEditClose);
    const Holdings before = Holdings::Now();
    const int topLevels = X11Host::Children(X11Host::Root());
    const void* parent = reinterpret_cast<void*>(static_cast<uintptr_t>(editor.parent));
    for (int i = 0; i < 200; ++i)
    {
        ASSERT_EQ(X11Host::Call(editor.effect, effEditOpen, 0, 0, const_cast<void*>(parent)), 1);
        ASSERT_EQ(X11Host::Children(editor.parent), 1);
        X11Host::Call(editor.effect, effEditClose);
        ASSERT_EQ(X11Host::Children(editor.parent), 0);
    }
    EXPECT_EQ(Holdings::Now(), before);
    EXPECT_EQ(X11Host::Children(X11Host::Root()), topLevels);
    editor.Close();
}
} // namespace

TEST(X11Editor, OpensAtTheChosenSizeAndItsMenuResizesIt)
{
    std::string why;
    ASSERT_TRUE(X11Host::Start(why)) << why;
    const auto waitFor = [](const std::function<bool()>& done)
    {
        for (const int64_t end = NowMs() + 3000; NowMs() < end && !done();)
        {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return done();
    };
    // The user chose 150 % before; this host never calls idle.
    ScratchDir config;
    fs::create_directories(config.Path() / "zelbor");
    WriteBytes(config.Path() / "zelbor" / "settings.ini", "editor-size=150\n");
    const char* oldConfig = std::getenv("XDG_CONFIG_HOME");
    const std::string restore = oldConfig ? oldConfig : "";
    setenv("XDG_CONFIG_HOME", config.Utf8Path().c_str(), 1);

    X11HostLog log;
    AEffect* effect = X11Host::Create(log);
    ASSERT_NE(effect, nullptr);
    ERect* rect = nullptr;
    ASSERT_EQ(X11Host::Call(effect, effEditGetRect, 0, 0, &rect), 1);
    EXPECT_EQ(rect->right - rect->left, 1080);
    EXPECT_EQ(rect->bottom - rect->top, 975);
    const Window parent = X11Host::MakeParent(0, 0, 1080, 975);
    ASSERT_EQ(X11Host::Call(effect, effEditOpen, 0, 0,
                            reinterpret_cast<void*>(static_cast<uintptr_t>(parent))),
              1);
    const Window editor = X11Host::FirstChild(parent);
    EXPECT_EQ(X11Host::Geometry(editor).w, 1080);
    EXPECT_EQ(X11Host::Geometry(editor).h, 975);

    // The wet knob at 1.5 times its place: a 60 px drag is 40 layout
    // pixels, an eighth of the knob's travel.
    const float wet = effect->getParameter(effect, kParamWet);
    X11Host::MoveTo(759, 82);
    X11Host::Button(1, true);
    X11Host::MoveTo(759, 52);
    X11Host::MoveTo(759, 22);
    X11Host::Button(1, false);
    EXPECT_TRUE(waitFor(
        [&] { return std::fabs(effect->getParameter(effect, kParamWet) - wet - 0.125f) < 1e-4f; }))
        << effect->getParameter(effect, kParamWet);

    // A right click on the background: the first item is 100 %.
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    X11Host::Click(450, 30, 3);
    std::vector<X11Host::Rect> popups;
    ASSERT_TRUE(waitFor([&] { return (popups = X11Host::Popups()).size() == 1; }));
    X11Host::Click(popups[0].x + 30, popups[0].y + 11);
    EXPECT_TRUE(waitFor([&] { return X11Host::Geometry(editor).w == 720; }));
    EXPECT_EQ(X11Host::Geometry(editor).h, 650);
    ASSERT_EQ(X11Host::Call(effect, effEditGetRect, 0, 0, &rect), 1);
    EXPECT_EQ(rect->right - rect->left, 720);
    bool toldHost = false;
    {
        std::lock_guard<std::mutex> hold(log.mutex);
        for (const X11HostLog::Call& c : log.calls)
            toldHost |= c.opcode == audioMasterSizeWindow && c.index == 720;
    }
    EXPECT_TRUE(toldHost);
    std::ifstream settings(config.Path() / "zelbor" / "settings.ini");
    std::string line;
    std::getline(settings, line);
    EXPECT_EQ(line, "editor-size=100");

    X11Host::Call(effect, effEditClose);
    X11Host::Destroy(effect);
    X11Host::DestroyWindow(parent);
    if (oldConfig)
        setenv("XDG_CONFIG_HOME", restore.c_str(), 1);
    else
        unsetenv("XDG_CONFIG_HOME");
}
