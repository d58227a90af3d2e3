// The effect's editor on the headless layer, driven by a stream of user and
// host actions: mouse presses, drags, releases and double-clicks with any
// buttons and modifiers, wheel turns, keys, answers to its menus, entries
// and file choosers (garbage and cancels among them), host automation with
// any value, program changes, the editor closing mid-gesture, and paints.
// After every action each parameter must hold a value inside its range, and
// the host must see edit gestures only on declared parameters, each end-edit
// after its begin-edit; after the last action and a release no gesture may
// be left open.

#include "graphics/IPopupMenu.h"
#include "graphics/headless/IGraphicsHeadless.h"
#include "plugin/Delay.h"
#include "plugin/DelayEditor.h"
#include "presets/PresetLibrary.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace
{

// Reports what broke the rule and stops, so that the input is kept.
[[noreturn]] void Fail(const char* what, int index, double value = 0.0)
{
    std::fprintf(stderr, "editor fuzz: %s (parameter %d, value %g)\n", what, index, value);
    __builtin_trap();
}

// The host side: checks every gesture and automation call as it comes.
struct HostRecord
{
    int declared = 0;
    std::vector<int> open;

    int OpenCount() const
    {
        int n = 0;
        for (int depth : open)
            n += depth;
        return n;
    }
};
HostRecord gHost;

VstIntPtr VSTCALLBACK Host(AEffect*, VstInt32 opcode, VstInt32 index, VstIntPtr, void*, float opt)
{
    const bool declared = index >= 0 && index < gHost.declared;
    switch (opcode)
    {
    case audioMasterAutomate:
        if (!declared) Fail("automation of an undeclared parameter", index, opt);
        if (!(opt >= 0.0f && opt <= 1.0f)) Fail("automation outside 0..1", index, opt);
        return 0;
    case audioMasterBeginEdit:
        if (!declared) Fail("begin-edit of an undeclared parameter", index);
        if (gHost.open[static_cast<std::size_t>(index)]++ > 0)
            Fail("begin-edit of a parameter whose gesture is open", index);
        return 1;
    case audioMasterEndEdit:
        if (!declared) Fail("end-edit of an undeclared parameter", index);
        if (gHost.open[static_cast<std::size_t>(index)]-- <= 0)
            Fail("end-edit without its begin-edit", index);
        return 1;
    default:
        return 0;
    }
}

// Reads the input front to back; past its end every read is 0.
struct Reader
{
    const uint8_t* data;
    size_t size;
    size_t pos = 0;

    bool More() const { return pos < size; }
    unsigned Byte() { return pos < size ? data[pos++] : 0u; }
    unsigned Word() { return Byte() | (Byte() << 8); }
    float Float()
    {
        uint32_t bits =
            Byte() | (Byte() << 8) | (Byte() << 16) | (static_cast<uint32_t>(Byte()) << 24);
        float f;
        std::memcpy(&f, &bits, sizeof(f));
        return f;
    }
};

// Texts typed into an entry: numbers in and out of range, units, choices,
// and garbage.
const char* const kTexts[] = {"",          "0",
                              "-0",        "1",
                              "500",       "2000.1",
                              "-25",       "1e309",
                              "-1e9",      "nan",
                              "inf",       "-inf",
                              "0x10",      " 12 ",
                              "1/4 d",     "1/32 t",
                              "L+R",       "off",
                              "Random",    "abc",
                              "12abc",     "99999999999999999999",
                              "0.0000001", "1,5",
                              "\xff\xfe",  "- 1 -"};

// A scratch preset folder: a preset, a sub-folder with a broken one, and a
// configuration file naming the folder. File prompts answer paths inside it.
struct Scratch
{
    fs::path root;
    fs::path bank;
    std::string ini;

    Scratch()
    {
        char name[] = "/tmp/zelbor-editor-fuzz.XXXXXX";
        if (!mkdtemp(name)) __builtin_trap();
        root = name;
        bank = root / "bank";
        ini = (root / "Zelbor.ini").string();
        std::ofstream(ini) << "PresetFolder \"" << bank.string() << "\"\n";
        // A size picked from the editor's menu is remembered here, not in
        // the user's own settings.
        setenv("XDG_CONFIG_HOME", (root / "config").c_str(), 1);
        Refill();
    }
    ~Scratch()
    {
        std::error_code ec;
        fs::remove_all(root, ec);
    }

    // The folder as it started, whatever the last input saved into it.
    void Refill()
    {
        std::error_code ec;
        fs::remove_all(bank, ec);
        fs::create_directories(bank / "Dub");
        std::ofstream(bank / "a.preset") << "Delay V1.0\nparam Wet 0.25\nparam Time_A 1500\n";
        std::ofstream(bank / "Dub" / "x.preset") << "Broken header\nparam Wet 0.75\n";
    }
};

struct Editor
{
    Scratch scratch;
    Delay delay{&Host};
    AEffect* effect = nullptr;
    IGraphicsHeadless* g = nullptr;
    std::vector<double> defaults; // every parameter's value as the effect loads

    Editor()
    {
        effect = delay.GetAEffect();
        gHost.declared = effect->numParams;
        gHost.open.assign(static_cast<std::size_t>(gHost.declared), 0);
        DelayEditor* view = delay.EditorView();
        g = view ? dynamic_cast<IGraphicsHeadless*>(view->Graphics()) : nullptr;
        if (!g) __builtin_trap();
        Dispatch(effOpen);
        delay.Presets().Init(scratch.ini.c_str());
        g->OpenEditorWindow(this);
        g->PaintAll();
        for (int i = 0; i < delay.NParams(); ++i)
            defaults.push_back(delay.GetParam(i)->Value());
    }

    VstIntPtr Dispatch(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0,
                       void* ptr = nullptr, float opt = 0.0f)
    {
        return effect->dispatcher(effect, opcode, index, value, ptr, opt);
    }

    // Every parameter inside its range, plain and normalised.
    void CheckParams()
    {
        for (int i = 0; i < delay.NParams(); ++i)
        {
            const IPlugParam* p = delay.GetParam(i);
            const double v = p->Value();
            const double n = p->ToNormalized();
            if (!(v >= p->Min() && v <= p->Max())) Fail("value outside its range", i, v);
            if (!(n >= 0.0 && n <= 1.0)) Fail("normalised value outside 0..1", i, n);
        }
    }

    // Each input starts from the same effect: defaults in every program,
    // program 0, the scratch folder as it was, no preset loaded, the editor
    // open. Only what changed is put back, as a host change (value, controls,
    // handler), which is much quicker than loading a whole state.
    void Reset(bool programs, bool files)
    {
        if (programs)
        {
            for (int p = Delay::kNumPrograms - 1; p >= 0; --p)
            {
                Dispatch(effSetProgram, 0, p);
                RestoreDefaults();
            }
        }
        else
        {
            RestoreDefaults();
        }
        if (files)
        {
            scratch.Refill();
            delay.Presets().Name() = PresetName();
            delay.Presets().Rescan();
        }
        if (!g->NativeWindow()) g->OpenEditorWindow(this);
        g->SetScale(100);
    }

    void RestoreDefaults()
    {
        PlugLockGuard guard(delay.Lock());
        for (int i = 0; i < delay.NParams(); ++i)
        {
            IPlugParam* p = delay.GetParam(i);
            const double v = defaults[static_cast<std::size_t>(i)];
            if (p->Value() == v) continue;
            p->SetValue(v);
            g->PushParamToControls(i, v, false);
            delay.ParamChanged(i);
        }
    }
};

IMouseKeys Keys(unsigned bits)
{
    return IMouseKeys((bits & 1) != 0, (bits & 2) != 0, (bits & 4) != 0, (bits & 8) != 0,
                      (bits & 16) != 0);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static Editor ed;
    IGraphicsHeadless& g = *ed.g;
    Reader in{data, size};

    // The prompts' answers, set by the input as it goes.
    int menuAnswer = 0;
    int textAnswer = -1; // -1 cancels; otherwise an index into kTexts or typed bytes
    std::string typed;
    int fileAnswer = 0;
    bool usedPrograms = false;
    bool usedFiles = false;
    g.Chooser().menu = [&](const IPopupMenu& menu)
    {
        usedFiles = true; // the preset menu loads, saves and rescans
        if (menuAnswer <= 0 || menuAnswer > menu.Total()) return 0;
        // A native menu returns only items a user can pick.
        const MenuEntry* e = menu.EntryByFlatIndex(menuAnswer - 1);
        if (!e || e->submenu || e->Has(MenuEntry::Separator) || e->Has(MenuEntry::Disabled))
            return 0;
        return menuAnswer;
    };
    g.Chooser().text = [&](const std::string&, std::string& out)
    {
        if (textAnswer < 0) return false;
        out = textAnswer < static_cast<int>(sizeof(kTexts) / sizeof(kTexts[0])) ? kTexts[textAnswer]
                                                                                : typed;
        return true;
    };
    g.Chooser().filePath = [&](int, const std::string&)
    {
        usedFiles = true;
        switch (fileAnswer % 4)
        {
        case 0:
            return std::string();
        case 1:
            return (ed.scratch.bank / "Echo").string();
        case 2:
            return (ed.scratch.bank / "a.preset").string();
        default:
            return (ed.scratch.bank / "Dub" / "missing.preset").string();
        }
    };
    g.Chooser().colour = nullptr;

    int x = 0, y = 0;
    while (in.More())
    {
        const unsigned op = in.Byte() % 14;
        // No window, no mouse or keys: a closed editor hears only the host.
        if (op <= 7 && !g.NativeWindow()) continue;
        if (op <= 4)
        {
            // Anywhere on the editor and a little beyond its edges.
            x = static_cast<int>(in.Word() % 760) - 20;
            y = static_cast<int>(in.Word() % 690) - 20;
        }
        switch (op)
        {
        case 0:
            g.HandleMouseDown(x, y, Keys(in.Byte()));
            break;
        case 1:
            g.HandleMouseDrag(x, y, Keys(in.Byte()));
            break;
        case 2:
            g.HandleMouseUp(x, y, Keys(in.Byte()));
            break;
        case 3:
            g.HandleDoubleClick(x, y, Keys(in.Byte()));
            break;
        case 4:
            g.HandleWheel(x, y, Keys(in.Byte()), static_cast<int>(static_cast<int8_t>(in.Byte())));
            break;
        case 5:
            g.HandleKeyDown(x, y, static_cast<int>(in.Byte() % 41)); // space .. Z
            break;
        case 6:
            g.HandleMouseOver(x, y, Keys(in.Byte()));
            break;
        case 7:
            g.HandleMouseOut();
            break;
        case 8:
        {
            // Host automation through the record, with any float.
            const int index = static_cast<int>(in.Byte() % 224) - 2;
            ed.effect->setParameter(ed.effect, index, in.Float());
            break;
        }
        case 9:
            menuAnswer = static_cast<int>(in.Byte());
            break;
        case 10:
        {
            const unsigned pick = in.Byte();
            if (pick < 64)
                textAnswer = -1;
            else if (pick < 192)
                textAnswer = static_cast<int>(pick % (sizeof(kTexts) / sizeof(kTexts[0])));
            else
            {
                textAnswer = 1000;
                typed.assign(pick % 24, '\0');
                for (char& c : typed)
                    c = static_cast<char>(in.Byte());
            }
            fileAnswer = static_cast<int>(in.Byte());
            break;
        }
        case 11:
            usedPrograms = true;
            ed.Dispatch(effSetProgram, 0, static_cast<VstIntPtr>(in.Byte() % 7));
            break;
        case 12:
            // The host closes the editor, perhaps in the middle of a gesture,
            // and opens it again.
            g.CloseEditorWindow();
            if (in.Byte() & 1) g.OpenEditorWindow(&ed);
            break;
        default:
            g.Tick();
            break;
        }
        ed.CheckParams();
    }

    g.HandleMouseUp(x, y, IMouseKeys());
    ed.CheckParams();
    if (gHost.OpenCount() != 0)
    {
        for (int i = 0; i < gHost.declared; ++i)
            if (gHost.open[static_cast<std::size_t>(i)] != 0)
                Fail("gesture left open after the last release", i);
    }
    ed.Reset(usedPrograms, usedFiles);
    return 0;
}
