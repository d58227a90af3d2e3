#include "graphics/x11/XSettings.h"

#include "graphics/x11/X11Errors.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <charconv>
#include <cmath>
#include <cstring>

namespace
{
// The settings are a byte-order byte, three pad bytes, a serial, a count and
// the settings, each a type byte, a pad byte, a 16-bit name length, the name
// padded to four bytes and a serial, then the value: a 32-bit integer, a
// length and a padded string, or four 16-bit colour channels.
class Reader
{
public:
    Reader(const std::vector<unsigned char>& d, bool msb) : data(d), bigEndian(msb) {}

    bool Skip(size_t n)
    {
        if (n > data.size() - at)
        {
            return false;
        }
        at += n;
        return true;
    }
    bool Card(int bytes, uint32_t& out)
    {
        if (static_cast<size_t>(bytes) > data.size() - at)
        {
            return false;
        }
        out = 0;
        for (int i = 0; i < bytes; ++i)
        {
            const uint32_t b = data[at + static_cast<size_t>(bigEndian ? i : bytes - 1 - i)];
            out = (out << 8) | b;
        }
        at += static_cast<size_t>(bytes);
        return true;
    }
    bool Text(size_t n, std::string& out)
    {
        if (n > data.size() - at)
        {
            return false;
        }
        out.assign(reinterpret_cast<const char*>(data.data() + at), n);
        at += n;
        return true;
    }

private:
    const std::vector<unsigned char>& data;
    bool bigEndian;
    size_t at = 0;
};

size_t Padded(size_t n)
{
    return (n + 3) & ~static_cast<size_t>(3);
}
} // namespace

std::optional<int> XSettings::ParseInteger(const std::vector<unsigned char>& data,
                                           const std::string& name)
{
    if (data.empty())
    {
        return std::nullopt;
    }
    Reader r(data, data[0] == MSBFirst);
    uint32_t count = 0;
    uint32_t scratch = 0;
    if (!r.Skip(4) || !r.Card(4, scratch) || !r.Card(4, count))
    {
        return std::nullopt;
    }
    for (uint32_t i = 0; i < count; ++i)
    {
        uint32_t type = 0;
        uint32_t nameLength = 0;
        std::string settingName;
        if (!r.Card(1, type) || !r.Skip(1) || !r.Card(2, nameLength) ||
            !r.Text(nameLength, settingName) || !r.Skip(Padded(nameLength) - nameLength) ||
            !r.Card(4, scratch))
        {
            return std::nullopt;
        }
        switch (type)
        {
        case 0: // integer
        {
            uint32_t value = 0;
            if (!r.Card(4, value))
            {
                return std::nullopt;
            }
            if (settingName == name)
            {
                return static_cast<int>(static_cast<int32_t>(value));
            }
            break;
        }
        case 1: // string
        {
            uint32_t length = 0;
            if (!r.Card(4, length) || !r.Skip(Padded(length)))
            {
                return std::nullopt;
            }
            break;
        }
        case 2: // colour
            if (!r.Skip(8))
            {
                return std::nullopt;
            }
            break;
        default:
            return std::nullopt;
        }
    }
    return std::nullopt;
}

std::optional<int> XSettings::Integer(_XDisplay* display, int screen, const char* name)
{
    const std::string selection = "_XSETTINGS_S" + std::to_string(screen);
    const Atom selectionAtom = XInternAtom(display, selection.c_str(), False);
    const Window owner = XGetSelectionOwner(display, selectionAtom);
    if (owner == 0)
    {
        return std::nullopt;
    }
    const Atom settingsAtom = XInternAtom(display, "_XSETTINGS_SETTINGS", False);
    Atom type = 0;
    int format = 0;
    unsigned long items = 0;
    unsigned long after = 0;
    unsigned char* bytes = nullptr;
    // The owner may go away at any moment: an error is no answer.
    const int status = XGetWindowProperty(display, owner, settingsAtom, 0, 65536, False,
                                          AnyPropertyType, &type, &format, &items, &after, &bytes);
    const bool failed = X11Errors::Sync(display) != 0 || status != Success;
    std::vector<unsigned char> data;
    if (!failed && bytes && format == 8)
    {
        data.assign(bytes, bytes + items);
    }
    if (bytes)
    {
        XFree(bytes);
    }
    return ParseInteger(data, name);
}

int XSettings::ScaleFromResources(const char* resources)
{
    static const char kKey[] = "Xft.dpi:";
    for (const char* line = resources; line && *line;)
    {
        const char* end = std::strchr(line, '\n');
        if (!end) end = line + std::strlen(line);
        if (std::strncmp(line, kKey, sizeof(kKey) - 1) == 0)
        {
            const char* at = line + sizeof(kKey) - 1;
            while (at < end && (*at == ' ' || *at == '\t'))
                ++at;
            double dpi = 0.0;
            const auto parsed = std::from_chars(at, end, dpi);
            if (parsed.ec == std::errc() && dpi >= 24.0 && dpi <= 960.0)
                return static_cast<int>(std::lround(dpi * 100.0 / 96.0));
        }
        line = *end ? end + 1 : end;
    }
    return 100;
}
