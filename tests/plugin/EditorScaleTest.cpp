// The effect's editor at 100 %, 150 % and 200 %: the same clicks at the
// window's scaled coordinates do the same things, every control paints its
// box at the scale, the images have their art at twice the size, the size
// menu on the background changes and remembers the size, and the pictures
// match the references kept beside this file pixel for pixel outside text.

#include "graphics/EditorSettings.h"
#include "graphics/IControl.h"
#include "graphics/IPopupMenu.h"
#include "graphics/headless/IGraphicsHeadless.h"
#include "plugin/Delay.h"
#include "plugin/DelayEditor.h"
#include "raster/ImageLoader.h"
#include "raster/LICE_IBitmap.h"
#include "raster/LICE_SysBitmap.h"
#include "tests/support/ScratchDir.h"

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace
{

const IMouseKeys kLeft(true, false, false, false, false);
const IMouseKeys kRight(false, true, false, false, false);

// The user's settings folder points at a scratch folder for the test's life.
class SettingsInScratch
{
public:
    SettingsInScratch()
    {
#ifdef _WIN32
        _putenv_s("APPDATA", dir.Utf8Path().c_str());
#else
        setenv("XDG_CONFIG_HOME", dir.Utf8Path().c_str(), 1);
#endif
    }
    std::string File() const
    {
        return EditorSettings::FilePath();
    }

    ScratchDir dir;
};

// A Delay with its headless editor open at a scale.
struct ScaledEditor
{
    explicit ScaledEditor(int percent) : delay(nullptr)
    {
        DelayEditor* editor = delay.EditorView();
        g = editor ? dynamic_cast<IGraphicsHeadless*>(editor->Graphics()) : nullptr;
        if (g)
        {
            g->SetScale(percent);
            g->OpenEditorWindow(this);
            g->PaintAll();
        }
    }

    // A user's press and release at the logical point, through the window's
    // device pixels.
    void Click(int x, int y, const IMouseKeys& keys = kLeft)
    {
        g->HandleMouseDown(Dev(x), Dev(y), keys);
        g->HandleMouseUp(Dev(x), Dev(y), IMouseKeys());
        g->Tick();
    }
    int Dev(int v) const { return v * g->ScalePercent() / 100; }

    std::vector<double> Values()
    {
        std::vector<double> v;
        for (int i = 0; i < delay.NParams(); ++i)
            v.push_back(delay.GetParam(i)->Value());
        return v;
    }

    Delay delay;
    IGraphicsHeadless* g = nullptr;
};

class EditorScaleTest : public ::testing::TestWithParam<int>
{
protected:
    void SetUp() override
    {
        if (!ScaledEditor(100).g) GTEST_SKIP() << "the editor here has a window layer of its own";
    }
    SettingsInScratch settings;
};

// The gestures of a session: a drag, a wheel, a double-click and a menu
// choice, at the scale's coordinates of the same logical points.
std::vector<double> Session(int percent)
{
    ScaledEditor e(percent);
    IGraphicsHeadless& g = *e.g;
    g.HandleMouseDown(e.Dev(506), e.Dev(70), kLeft); // wet: 40 px up
    g.HandleMouseDrag(e.Dev(506), e.Dev(50), IMouseKeys());
    g.HandleMouseDrag(e.Dev(506), e.Dev(30), IMouseKeys());
    g.HandleMouseUp(e.Dev(506), e.Dev(30), IMouseKeys());
    g.HandleWheel(e.Dev(563), e.Dev(55), IMouseKeys(), 3); // dry
    g.HandleMouseDown(e.Dev(620), e.Dev(55), kLeft);       // level: dragged, then reset
    g.HandleMouseDrag(e.Dev(620), e.Dev(90), IMouseKeys());
    g.HandleMouseUp(e.Dev(620), e.Dev(90), IMouseKeys());
    g.HandleDoubleClick(e.Dev(620), e.Dev(55), IMouseKeys());
    g.HandleMouseUp(e.Dev(620), e.Dev(55), IMouseKeys());
    g.Chooser().menu = [](const IPopupMenu& menu)
    {
        for (int id = 1; id <= menu.Total(); ++id)
            if (menu.EntryByFlatIndex(id - 1)->text == "B") return id;
        return 0;
    };
    e.Click(95, 305 + 32 * 2 + 5); // C's source: B
    return e.Values();
}

} // namespace

TEST_P(EditorScaleTest, GesturesAtTheScaledPointsDoWhatTheyDoAt100)
{
    const int percent = GetParam();
    ScaledEditor e(percent);
    EXPECT_EQ(e.g->WindowWidth(), 720 * percent / 100);
    EXPECT_EQ(e.g->WindowHeight(), 650 * percent / 100);

    const std::vector<double> at100 = Session(100);
    const std::vector<double> scaled = Session(percent);
    ASSERT_EQ(at100.size(), scaled.size());
    int changed = 0;
    const std::vector<double> untouched = ScaledEditor(100).Values();
    for (size_t i = 0; i < at100.size(); ++i)
    {
        EXPECT_DOUBLE_EQ(scaled[i], at100[i]) << "parameter " << i;
        changed += at100[i] != untouched[i];
    }
    EXPECT_EQ(changed, 3); // wet, dry and C's source; the level came back
}

TEST_P(EditorScaleTest, EveryControlPaintsItsBoxAtTheScale)
{
    const int percent = GetParam();
    ScaledEditor e(percent);
    const double s = percent / 100.0;
    for (int i = 1; i < e.g->NControls(); ++i)
    {
        IControl* c = e.g->GetControl(i);
        if (c->hidden) continue;
        for (int settle = 0; settle < 3 && e.g->Tick(); ++settle)
        {
        }
        e.g->ClearPresented();
        c->MarkDirty(false);
        ASSERT_TRUE(e.g->Tick());
        ASSERT_EQ(e.g->Presented().size(), 1u);
        const IBox& shown = e.g->Presented()[0];
        const IBox& r = c->rect;
        EXPECT_NEAR(shown.left, r.left * s, 0.5) << "control " << i;
        EXPECT_NEAR(shown.top, r.top * s, 0.5) << "control " << i;
        EXPECT_NEAR(shown.right, r.right * s, 0.5) << "control " << i;
        EXPECT_NEAR(shown.bottom, r.bottom * s, 0.5) << "control " << i;
    }
}

TEST_P(EditorScaleTest, SizeMenuOnTheBackgroundChangesAndRemembersTheSize)
{
    ScaledEditor e(GetParam());
    std::string offered;
    int chosen = 0;
    e.g->Chooser().menu = [&](const IPopupMenu& menu)
    {
        offered.clear();
        for (int i = 0; i < menu.Total(); ++i)
        {
            const MenuEntry* item = menu.EntryByFlatIndex(i);
            offered += item->text + (item->Has(MenuEntry::Checked) ? "*" : "") + ";";
        }
        return chosen;
    };
    // On a knob a right click is the knob's own.
    e.Click(506, 55, kRight);
    EXPECT_EQ(offered, "");

    chosen = 0; // dismissed: nothing changes and nothing is written
    e.Click(300, 20, kRight);
    const std::string current = "Editor size: " + std::to_string(GetParam()) + " %*;";
    EXPECT_NE(offered.find(current), std::string::npos) << offered;
    EXPECT_EQ(offered.substr(0, 18), "Editor size: 100 %");
    EXPECT_EQ(EditorSettings::RememberedScale(), 0);

    chosen = 3; // "Editor size: 150 %"
    e.Click(300, 20, kRight);
    EXPECT_EQ(e.g->ScalePercent(), 150);
    EXPECT_EQ(e.g->WindowWidth(), 1080);
    EXPECT_EQ(e.g->WindowHeight(), 975);
    EXPECT_EQ(EditorSettings::RememberedScale(), 150);
    // The picture fills the new size.
    e.g->Tick();
    EXPECT_EQ(e.g->BackBuffer()->Width(), 1080);
}

INSTANTIATE_TEST_SUITE_P(Scales, EditorScaleTest, ::testing::Values(100, 150, 200));

TEST(EditorSettingsTest, AMissingOrBrokenFileMeansNothingAndOtherLinesStay)
{
    SettingsInScratch settings;
    EXPECT_EQ(EditorSettings::RememberedScale(), 0); // no file, no folder
    ASSERT_TRUE(EditorSettings::RememberScale(175));
    EXPECT_EQ(EditorSettings::RememberedScale(), 175);

    for (const char* broken : {"editor-size=", "editor-size=1x5", "editor-size=9999", "\x01\x02"})
    {
        WriteBytes(PathFromUtf8(settings.File()), broken);
        EXPECT_EQ(EditorSettings::RememberedScale(), 0) << broken;
    }
    WriteBytes(PathFromUtf8(settings.File()), "theme=dark\neditor-size=125\r\nother=1\n");
    EXPECT_EQ(EditorSettings::RememberedScale(), 125);
    ASSERT_TRUE(EditorSettings::RememberScale(200));
    std::ifstream in(PathFromUtf8(settings.File()), std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(text, "theme=dark\nother=1\neditor-size=200\n");
}

TEST(EditorSettingsTest, TwoInstancesSavingAtOnceLeaveOneWholeFile)
{
    SettingsInScratch settings;
    std::atomic<int> failed{0};
    const auto save = [&failed](int percent)
    {
        for (int i = 0; i < 200; ++i)
            if (!EditorSettings::RememberScale(percent)) ++failed;
    };
    std::thread first(save, 150), second(save, 200);
    first.join();
    second.join();
    std::ifstream in(PathFromUtf8(settings.File()), std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_TRUE(text == "editor-size=150\n" || text == "editor-size=200\n") << text;
#ifndef _WIN32
    // Windows refuses to replace a file another thread is reading, and its
    // replace call leaves files of its own behind when it fails.
    EXPECT_EQ(failed.load(), 0);
    const fs::path folder = PathFromUtf8(settings.File()).parent_path();
    EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 1);
#endif
}

TEST(EditorSettingsTest, AFolderThatCannotBeMadeRemembersNothing)
{
    SettingsInScratch settings;
    // A file where the settings folder should be.
    const std::string folder = settings.File().substr(0, settings.File().find_last_of("\\/"));
    WriteBytes(PathFromUtf8(folder), "not a folder");
    EXPECT_FALSE(EditorSettings::RememberScale(150));
    EXPECT_EQ(EditorSettings::RememberedScale(), 0);
}

TEST(EditorImagesTest, EveryImageHasItsArtAtTwiceTheSize)
{
    int images = 0;
    for (int id = 100; id < 200; ++id)
    {
        std::unique_ptr<LICE_IBitmap> image(LoadBitmapResource(id, "image.png"));
        if (!image) continue;
        ++images;
        std::unique_ptr<LICE_IBitmap> twin(LoadBitmapResource(id + 100, "image.png"));
        ASSERT_NE(twin, nullptr) << id;
        // Twice the size in both directions keeps a filmstrip's frames
        // (stacked rows of equal height) twice as high, and as many.
        EXPECT_EQ(twin->Width(), 2 * image->Width()) << id;
        EXPECT_EQ(twin->Height(), 2 * image->Height()) << id;
    }
    EXPECT_EQ(images, 18);
}

namespace
{

// The editor at the defaults, before any audio, compared with the picture
// kept in tests/plugin/reference/ outside every box text was drawn in. With
// ZELBOR_UPDATE_REFERENCES set the picture is written instead.
void CompareWithReference(int percent)
{
    ScaledEditor e(percent);
    if (!e.g) GTEST_SKIP() << "the editor here has a window layer of its own";
    e.g->ClearTextBoxes();
    e.g->PaintAll();
    const std::string path =
        std::string(ZELBOR_REFERENCE_PICTURES) + "/editor-" + std::to_string(percent) + ".png";
    if (std::getenv("ZELBOR_UPDATE_REFERENCES"))
    {
        ASSERT_TRUE(e.g->SavePng(path.c_str()));
        GTEST_SKIP() << "wrote " << path;
    }
    std::ifstream in(PathFromUtf8(path), std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::unique_ptr<LICE_IBitmap> reference(DecodePngMemory(bytes.data(), bytes.size()));
    ASSERT_NE(reference, nullptr) << path;
    LICE_IBitmap& drawn = *e.g->BackBuffer();
    ASSERT_EQ(reference->Width(), drawn.Width());
    ASSERT_EQ(reference->Height(), drawn.Height());

    std::vector<bool> text(static_cast<size_t>(drawn.Width() * drawn.Height()));
    for (const IBox& box : e.g->TextBoxes())
    {
        const IBox d = e.g->ToDevice(box).Intersect(IBox(0, 0, drawn.Width(), drawn.Height()));
        for (int y = d.top; y < d.bottom; ++y)
            for (int x = d.left; x < d.right; ++x)
                text[static_cast<size_t>(y * drawn.Width() + x)] = true;
    }
    int differing = 0;
    int firstX = -1;
    int firstY = -1;
    for (int y = 0; y < drawn.Height(); ++y)
    {
        for (int x = 0; x < drawn.Width(); ++x)
        {
            const uint32_t a = drawn.Bits()[y * drawn.RowSpan() + x] & 0xFFFFFFu;
            const uint32_t b = reference->Bits()[y * reference->RowSpan() + x] & 0xFFFFFFu;
            if (a != b && !text[static_cast<size_t>(y * drawn.Width() + x)] && differing++ == 0)
            {
                firstX = x;
                firstY = y;
            }
        }
    }
    EXPECT_EQ(differing, 0) << "first at (" << firstX << ", " << firstY << ") of " << path;
}

} // namespace

TEST(EditorPictureTest, At100MatchesTheReference)
{
    CompareWithReference(100);
}

TEST(EditorPictureTest, At200MatchesTheReference)
{
    CompareWithReference(200);
}
