#include "graphics/x11/FontLocator.h"

#include "graphics/ITextStyle.h"
#include "graphics/headless/HeadlessFont.h"
#include "platform/ModulePath.h"

#include <fontconfig/fontconfig.h>
#include <mutex>
#include <unistd.h>

namespace
{
constexpr const char* kFamily = "Liberation Sans";

bool Readable(const std::string& path)
{
    return !path.empty() && access(path.c_str(), R_OK) == 0;
}

std::string Lookup(int styleBits)
{
    std::string file = FontLocator::FontconfigFile(styleBits);
    if (Readable(file))
    {
        return file;
    }
    const std::string folder = ModuleFolder();
    if (!folder.empty() && Readable(folder + FontLocator::FaceFileName(styleBits)))
    {
        return folder + FontLocator::FaceFileName(styleBits);
    }
    return {};
}
} // namespace

const char* FontLocator::FaceFileName(int styleBits)
{
    return HeadlessFont::FaceFileName(styleBits);
}

std::string FontLocator::FontconfigFile(int styleBits)
{
    // fontconfig's own configuration is not released: other code of the
    // host may share it.
    if (!FcInit())
    {
        return {};
    }
    FcPattern* pattern = FcPatternCreate();
    if (!pattern)
    {
        return {};
    }
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(kFamily));
    FcPatternAddInteger(pattern, FC_WEIGHT,
                        (styleBits & ITextStyle::Bold) ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
    FcPatternAddInteger(pattern, FC_SLANT,
                        (styleBits & ITextStyle::Italic) ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcPattern* match = FcFontMatch(nullptr, pattern, &result);
    FcPatternDestroy(pattern);
    std::string file;
    if (match)
    {
        FcChar8* family = nullptr;
        FcChar8* path = nullptr;
        // fontconfig answers its nearest face for any request: only the
        // family itself is the face the editor's metrics are made for.
        if (FcPatternGetString(match, FC_FAMILY, 0, &family) == FcResultMatch &&
            FcStrCmpIgnoreCase(family, reinterpret_cast<const FcChar8*>(kFamily)) == 0 &&
            FcPatternGetString(match, FC_FILE, 0, &path) == FcResultMatch)
        {
            file = reinterpret_cast<const char*>(path);
        }
        FcPatternDestroy(match);
    }
    return file;
}

std::string FontLocator::FaceFile(int styleBits)
{
    static std::mutex* mutex = new std::mutex;
    static std::string* found = new std::string[4];
    static bool* looked = new bool[4]();
    const int key = styleBits & (ITextStyle::Bold | ITextStyle::Italic);
    std::lock_guard<std::mutex> hold(*mutex);
    if (!looked[key])
    {
        looked[key] = true;
        found[key] = Lookup(key);
        if (found[key].empty() && key != ITextStyle::Normal)
        {
            found[key] = Lookup(ITextStyle::Normal);
        }
    }
    return found[key];
}
