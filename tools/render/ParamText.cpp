#include "tools/render/ParamText.h"

#include "tools/render/TextNumbers.h"

#include <cmath>

namespace zelbor::render
{
namespace
{

std::string Family(const std::string& name)
{
    const auto us = name.find('_');
    return us == std::string::npos ? name : name.substr(0, us);
}

std::string ChoiceList(const ParamDescription& p)
{
    std::string list;
    for (const auto& [value, text] : p.choices)
    {
        if (!list.empty())
        {
            list += " | ";
        }
        list += text;
    }
    return list;
}

} // namespace

std::string UnitOf(const std::string& paramName)
{
    const std::string family = Family(paramName);
    if (family == "Time" || family == "Depth")
    {
        return "ms";
    }
    if (family == "Fb" || family == "Gain")
    {
        return "dB";
    }
    if (family == "Lpf" || family == "Hpf" || family == "Rate")
    {
        return "Hz";
    }
    return "";
}

std::string RangeText(const ParamDescription& p)
{
    if (p.isChoice)
    {
        return ChoiceList(p);
    }
    std::string text = FormatShort(p.minimum) + " to " + FormatShort(p.maximum);
    const std::string unit = UnitOf(p.name);
    return unit.empty() ? text : text + " " + unit;
}

ParamConversion ConvertParamText(const ParamDescription& p, const std::string& text)
{
    ParamConversion out;
    if (p.isChoice)
    {
        for (const auto& [value, choice] : p.choices)
        {
            if (choice == text)
            {
                out.ok = true;
                out.plain = value;
                return out;
            }
        }
        const std::string lowered = LowerCase(text);
        for (const auto& [value, choice] : p.choices)
        {
            if (LowerCase(choice) == lowered)
            {
                out.ok = true;
                out.plain = value;
                return out;
            }
        }
        long long number = 0;
        if (ParseInteger(text, number) && number >= std::llround(p.minimum) &&
            number <= std::llround(p.maximum))
        {
            out.ok = true;
            out.plain = double(number);
            return out;
        }
        out.error = "parameter " + p.name + ": \"" + text +
                    "\" is not one of its choices: " + ChoiceList(p) + " (or their numbers " +
                    FormatShort(p.minimum) + " to " + FormatShort(p.maximum) + ")";
        return out;
    }

    std::string number = text;
    const std::string unit = UnitOf(p.name);
    if (!unit.empty() && number.size() > unit.size() &&
        LowerCase(number.substr(number.size() - unit.size())) == LowerCase(unit))
    {
        number.erase(number.size() - unit.size());
    }
    double v = 0.0;
    if (!ParseNumber(number, v))
    {
        out.error = "parameter " + p.name + ": \"" + text + "\" is not a number (range " +
                    RangeText(p) + ")";
        return out;
    }
    if (v < p.minimum || v > p.maximum)
    {
        out.error =
            "parameter " + p.name + ": " + FormatShort(v) + " is outside its range " + RangeText(p);
        return out;
    }
    out.ok = true;
    out.plain = v;
    return out;
}

} // namespace zelbor::render
