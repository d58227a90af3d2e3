#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct _XDisplay; // Xlib's Display, whose header's macros stay out of here

// Reads the desktop's settings that an XSETTINGS manager publishes on the
// screen: the property _XSETTINGS_SETTINGS of the owner of the selection
// _XSETTINGS_S<screen>.
class XSettings
{
public:
    // The integer setting of that name from the screen's manager; none when
    // no manager runs or it does not publish the setting.
    static std::optional<int> Integer(_XDisplay* display, int screen, const char* name);
    // The same from the property's bytes as the manager wrote them.
    static std::optional<int> ParseInteger(const std::vector<unsigned char>& data,
                                           const std::string& name);
    // The scale in per cent that the resource database's "Xft.dpi" asks for
    // (dpi / 96); 100 when it holds no such line.
    static int ScaleFromResources(const char* resources);
};
