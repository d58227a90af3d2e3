#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

enum ParamKind : int32_t
{
    KindUnset = 0,
    KindSwitch = 1,
    KindInteger = 2,
    KindEnum = 3,
    KindContinuous = 4
};

// Size of the name, label and display-text fields, terminating zero included.
constexpr int kParamNameSize = 32;
// Buffer size FormatValue assumes when it is given no size.
constexpr int kParamTextSize = 128;

struct DisplayText
{
    int32_t value = 0;
    char text[kParamNameSize] = {};
};

// One automatable value: kind, plain value, range, step, the shape that maps
// it to the host's 0..1 travel, and the texts that describe it.
class IPlugParam
{
public:
    IPlugParam();

    // Initialisers. A kind set before stays; DefineContinuous sets the
    // continuous kind only on an unset parameter. The default is not clamped.
    void DefineContinuous(const char* name, double defaultValue, double minValue, double maxValue,
                          double step, const char* label = "");
    // Choices 0 .. count - 1, empty label; display texts are added separately.
    void DefineEnum(const char* name, int defaultValue, int count);
    // Values 0 and 1 with the display texts "off" and "on".
    void DefineSwitch(const char* name, bool defaultValue);
    // Whole numbers from minValue to maxValue, rounded like an enumeration.
    void DefineInteger(const char* name, int defaultValue, int minValue, int maxValue,
                       const char* label = "");

    // Exponent of the normalised mapping; 1 is linear. Zero, negative and
    // non-finite exponents are ignored.
    void SetShapeExponent(double shape);
    void AddDisplayText(int value, const char* text);

    // Sets the value from the host's 0..1 scale. The input is clamped to 0..1
    // and NaN changes nothing.
    void SetFromNormalized(double normalized);
    // Plain value for a normalised one, as SetFromNormalized would store it.
    double FromNormalized(double normalized) const;
    // Normalised form of the current value.
    double ToNormalized() const;
    // Normalised form of a plain value (clamped into the range first).
    double ToNormalized(double plainValue) const;

    // Writes the display text of value (plain, or normalised when the flag is
    // set). The first form assumes a buffer of at least kParamTextSize bytes.
    void FormatValue(double value, bool normalized, char* buf) const;
    void FormatValue(double value, bool normalized, char* buf, size_t size) const;

    const char* Name() const { return mName; }
    const char* Label() const { return mLabel; }

    int DisplayTextCount() const { return static_cast<int>(mDisplayTexts.size()); }
    // The i-th display text in the order added, or null.
    const DisplayText* GetDisplayText(int i) const;
    // Text of the first display text with that value, or "".
    const char* DisplayTextFor(int value) const;
    // Finds the first display text equal to text (case-sensitive) and stores
    // its value.
    bool ValueForDisplayText(const char* text, int* value) const;

    // Plain value access. SetValue stores as given; SetValueClamped clamps
    // into [Min, Max] first.
    double Value() const { return mValue; }
    void SetValue(double value) { mValue = value; }
    void SetValueClamped(double value);
    int IntValue() const; // value truncated toward zero, saturated
    bool BoolValue() const { return mValue >= 0.5; }

    ParamKind Kind() const { return mKind; }
    double Min() const { return mMin; }
    double Max() const { return mMax; }
    double Step() const { return mStep; }
    double Shape() const { return mShape; }
    int Precision() const { return mPrecision; }
    bool NegateDisplay() const { return mNegateDisplay; }
    // A push button: it acts when pressed and is never stored or restored
    // pressed, so a state or program saved while it was down does not press
    // it again on loading.
    bool IsMomentary() const { return mMomentary; }
    void SetMomentary(bool momentary) { mMomentary = momentary; }
    void SetNegateDisplay(bool negate) { mNegateDisplay = negate; }

private:
    ParamKind mKind;
    double mValue;
    double mMin;
    double mMax;
    double mStep;
    double mShape;
    int mPrecision;
    char mName[kParamNameSize];
    char mLabel[kParamNameSize];
    bool mNegateDisplay;
    bool mMomentary = false;
    std::vector<DisplayText> mDisplayTexts;
};
