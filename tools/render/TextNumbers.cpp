#include "tools/render/TextNumbers.h"

#include <cctype>
#include <charconv>
#include <cmath>

namespace zelbor::render
{
namespace
{

std::string_view Trim(std::string_view text)
{
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
    {
        text.remove_prefix(1);
    }
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
    {
        text.remove_suffix(1);
    }
    if (!text.empty() && text.front() == '+')
    {
        text.remove_prefix(1);
    }
    return text;
}

} // namespace

bool ParseNumber(std::string_view text, double& value)
{
    text = Trim(text);
    if (text.empty())
    {
        return false;
    }
    double v = 0.0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (ec != std::errc() || end != text.data() + text.size() || !std::isfinite(v))
    {
        return false;
    }
    value = v;
    return true;
}

bool ParseInteger(std::string_view text, long long& value)
{
    text = Trim(text);
    if (text.empty())
    {
        return false;
    }
    long long v = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (ec != std::errc() || end != text.data() + text.size())
    {
        return false;
    }
    value = v;
    return true;
}

std::string FormatNumber(double value, int decimals)
{
    char buf[64];
    if (!std::isfinite(value))
    {
        return std::isnan(value) ? "nan" : (value > 0 ? "inf" : "-inf");
    }
    const auto [end, ec] =
        std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed, decimals);
    if (ec != std::errc())
    {
        return "?";
    }
    std::string s(buf, end);
    if (s.size() > 1 && s[0] == '-' && s.find_first_not_of("-0.") == std::string::npos)
    {
        s.erase(0, 1); // no "-0.0"
    }
    return s;
}

std::string FormatShort(double value)
{
    char buf[64];
    const auto [end, ec] = std::to_chars(buf, buf + sizeof buf, value);
    return ec == std::errc() ? std::string(buf, end) : std::string("?");
}

std::string LowerCase(std::string text)
{
    for (char& c : text)
    {
        c = char(std::tolower(static_cast<unsigned char>(c)));
    }
    return text;
}

} // namespace zelbor::render
