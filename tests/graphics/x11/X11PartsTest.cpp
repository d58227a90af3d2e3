// Parts of the X11 layer that need no window: the desktop settings reader
// and where the editor's faces are found.

#include "graphics/ITextStyle.h"
#include "graphics/x11/FontLocator.h"
#include "graphics/x11/XSettings.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace
{

// The property as a manager writes it, in either byte order: a string, a
// colour and an integer setting.
std::vector<unsigned char> Settings(bool msb, int doubleClick)
{
    std::vector<unsigned char> out;
    auto card = [&](uint32_t v, int bytes)
    {
        for (int i = 0; i < bytes; ++i)
        {
            const int shift = 8 * (msb ? bytes - 1 - i : i);
            out.push_back(static_cast<unsigned char>(v >> shift));
        }
    };
    auto name = [&](int type, const std::string& n)
    {
        card(static_cast<uint32_t>(type), 1);
        card(0, 1);
        card(static_cast<uint32_t>(n.size()), 2);
        out.insert(out.end(), n.begin(), n.end());
        out.resize((out.size() + 3) & ~size_t(3));
        card(7, 4); // last-change serial
    };
    card(msb ? 1 : 0, 1);
    card(0, 3);
    card(42, 4); // serial
    card(3, 4);  // settings
    name(1, "Net/ThemeName");
    card(7, 4);
    out.insert(out.end(), {'A', 'd', 'w', 'a', 'i', 't', 'a', 0});
    name(2, "Gtk/Colour");
    card(0xFFFF, 2);
    card(0, 2);
    card(0x8000, 2);
    card(0xFFFF, 2);
    name(0, "Net/DoubleClickTime");
    card(static_cast<uint32_t>(doubleClick), 4);
    return out;
}

TEST(XSettings, ReadsAnIntegerPastOtherKindsInBothByteOrders)
{
    for (bool msb : {false, true})
    {
        const auto data = Settings(msb, 250);
        EXPECT_EQ(XSettings::ParseInteger(data, "Net/DoubleClickTime"), 250);
        EXPECT_EQ(XSettings::ParseInteger(data, "Net/CursorBlinkTime"), std::nullopt);
        // Cut short inside the last setting: no answer rather than garbage.
        const std::vector<unsigned char> cut(data.begin(), data.end() - 2);
        EXPECT_EQ(XSettings::ParseInteger(cut, "Net/DoubleClickTime"), std::nullopt);
    }
    EXPECT_EQ(XSettings::ParseInteger({}, "Net/DoubleClickTime"), std::nullopt);
}

TEST(XSettings, TheResourceDatabasesDpiGivesTheScale)
{
    EXPECT_EQ(XSettings::ScaleFromResources("Xft.antialias:\t1\nXft.dpi:\t192\n"), 200);
    EXPECT_EQ(XSettings::ScaleFromResources("Xft.dpi: 144.0"), 150);
    EXPECT_EQ(XSettings::ScaleFromResources("Xcursor.size:\t24\n"), 100);
    EXPECT_EQ(XSettings::ScaleFromResources("Xft.dpi:\tnone\n"), 100);
}

TEST(FontLocator, FindsTheFamilysOwnFiles)
{
    const std::string regular = FontLocator::FaceFile(ITextStyle::Normal);
    const std::string bold = FontLocator::FaceFile(ITextStyle::Bold);
    ASSERT_FALSE(regular.empty());
    EXPECT_EQ(std::filesystem::path(regular).filename(), "LiberationSans-Regular.ttf");
    EXPECT_EQ(std::filesystem::path(bold).filename(), "LiberationSans-Bold.ttf");
}

} // namespace
