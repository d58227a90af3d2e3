#include "framework/IPlugParam.h"

#include "framework/BoundedText.h"

#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace
{
// Truncation toward zero that stays defined for any double.
bool TruncToInt(double v, int* out)
{
    if (!(v > static_cast<double>(INT_MIN) - 1.0 && v < static_cast<double>(INT_MAX) + 1.0))
        return false;
    *out = static_cast<int>(v);
    return true;
}
} // namespace

IPlugParam::IPlugParam()
    : mKind(KindUnset), mValue(0.0), mMin(0.0), mMax(1.0), mStep(1.0), mShape(1.0), mPrecision(0),
      mNegateDisplay(false)
{
    mName[0] = 0;
    mLabel[0] = 0;
}

void IPlugParam::DefineContinuous(const char* name, double defaultValue, double minValue,
                                  double maxValue, double step, const char* label)
{
    if (mKind == KindUnset) mKind = KindContinuous;
    CopyBoundedText(mName, name, kParamNameSize);
    CopyBoundedText(mLabel, label, kParamNameSize);
    mValue = defaultValue;
    mMin = minValue;
    mMax = maxValue < minValue + step ? minValue + step : maxValue;
    mStep = step;
    mPrecision = 0;
    double s = step;
    while (s != std::floor(s) && mPrecision < 6)
    {
        s *= 10.0;
        ++mPrecision;
    }
}

void IPlugParam::DefineEnum(const char* name, int defaultValue, int count)
{
    if (mKind == KindUnset) mKind = KindEnum;
    DefineContinuous(name, defaultValue, 0.0, static_cast<double>(count) - 1.0, 1.0, "");
}

void IPlugParam::DefineSwitch(const char* name, bool defaultValue)
{
    if (mKind == KindUnset) mKind = KindSwitch;
    DefineContinuous(name, defaultValue ? 1.0 : 0.0, 0.0, 1.0, 1.0, "");
    AddDisplayText(0, "off");
    AddDisplayText(1, "on");
}

void IPlugParam::DefineInteger(const char* name, int defaultValue, int minValue, int maxValue,
                               const char* label)
{
    if (mKind == KindUnset) mKind = KindInteger;
    DefineContinuous(name, defaultValue, minValue, maxValue, 1.0, label);
}

void IPlugParam::SetShapeExponent(double shape)
{
    // A zero, negative or non-finite exponent would make the mapping
    // undefined at the ends of the range.
    if (std::isfinite(shape) && shape > 0.0) mShape = shape;
}

void IPlugParam::AddDisplayText(int value, const char* text)
{
    DisplayText dt;
    dt.value = value;
    CopyBoundedText(dt.text, text, kParamNameSize);
    mDisplayTexts.push_back(dt);
}

double IPlugParam::FromNormalized(double normalized) const
{
    double x = normalized;
    if (std::isnan(x)) return mValue;
    if (x < 0.0)
        x = 0.0;
    else if (x > 1.0)
        x = 1.0;
    double v = mMin + std::pow(x, mShape) * (mMax - mMin);
    if (mKind != KindContinuous && mStep > 0.0) v = std::floor(v / mStep + 0.5) * mStep;
    if (v > mMax) v = mMax;
    return v;
}

void IPlugParam::SetFromNormalized(double normalized)
{
    if (std::isnan(normalized)) return;
    mValue = FromNormalized(normalized);
}

double IPlugParam::ToNormalized() const
{
    if (mValue < mMin) return ToNormalized(mMin);
    return ToNormalized(mValue);
}

double IPlugParam::ToNormalized(double plainValue) const
{
    double range = mMax - mMin;
    if (!(range > 0.0) || std::isnan(plainValue)) return 0.0;
    double v = plainValue;
    if (v < mMin)
        v = mMin;
    else if (v > mMax)
        v = mMax;
    return std::pow((v - mMin) / range, 1.0 / mShape);
}

void IPlugParam::FormatValue(double value, bool normalized, char* buf) const
{
    FormatValue(value, normalized, buf, kParamTextSize);
}

void IPlugParam::FormatValue(double value, bool normalized, char* buf, size_t size) const
{
    if (!buf || size == 0) return;
    // A normalised value shows what setting it gives: a host holding a
    // choice's value in single precision lands just below the whole number,
    // which truncated would name the choice before.
    double v = normalized ? FromNormalized(value) : value;

    int key = 0;
    if (TruncToInt(v, &key))
    {
        const char* text = DisplayTextFor(key);
        if (text[0])
        {
            std::snprintf(buf, size, "%s", text);
            return;
        }
    }

    if (mNegateDisplay) v = -v;
    if (v == 0.0)
        std::snprintf(buf, size, "0");
    else if (mPrecision == 0)
        std::snprintf(buf, size, "%.0f", std::trunc(v) + 0.0); // truncated; + 0.0 avoids "-0"
    else
        std::snprintf(buf, size, "%.*f", mPrecision, v);
}

const DisplayText* IPlugParam::GetDisplayText(int i) const
{
    if (i < 0 || i >= DisplayTextCount()) return nullptr;
    return &mDisplayTexts[static_cast<size_t>(i)];
}

const char* IPlugParam::DisplayTextFor(int value) const
{
    for (const DisplayText& dt : mDisplayTexts)
    {
        if (dt.value == value) return dt.text;
    }
    return "";
}

bool IPlugParam::ValueForDisplayText(const char* text, int* value) const
{
    if (!text) return false;
    for (const DisplayText& dt : mDisplayTexts)
    {
        if (std::strcmp(dt.text, text) == 0)
        {
            if (value) *value = dt.value;
            return true;
        }
    }
    return false;
}

void IPlugParam::SetValueClamped(double value)
{
    if (std::isnan(value)) return;
    if (value < mMin) value = mMin;
    if (value > mMax) value = mMax;
    mValue = value;
}

int IPlugParam::IntValue() const
{
    int v = 0;
    if (TruncToInt(mValue, &v)) return v;
    return mValue > 0.0 ? INT_MAX : (mValue < 0.0 ? INT_MIN : 0);
}
