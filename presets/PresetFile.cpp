#include "presets/PresetFile.h"

#include "framework/IPlugBase.h"
#include "platform/AtomicFile.h"
#include "platform/FileOpen.h"
#include "presets/ByteReader.h"
#include "presets/PresetName.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <vector>

namespace
{
constexpr const char* kHeaderWord = "Delay";
constexpr const char* kLineWord = "param";
// A number token longer than this is not a value any parameter can take.
constexpr int kMaxNumberToken = 400;

bool IsBlank(int c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool IsDigit(int c)
{
    return c >= '0' && c <= '9';
}

char Lower(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// Character source with one character of look-ahead; the reader matches the
// file the way the scanf patterns "Delay V%d.%d\n" and "param %s %lf\n" would,
// without depending on the locale and without overrunning any field.
class Scanner
{
public:
    explicit Scanner(FILE* file) : mIn(file) {}

    int Peek() { return mIn.Peek(); }
    int Get() { return mIn.Get(); }
    bool AtEnd() { return Peek() == EOF; }

    void SkipBlanks()
    {
        while (IsBlank(Peek()))
            Get();
    }

    bool Literal(const char* text)
    {
        for (; *text; ++text)
        {
            if (Peek() != static_cast<unsigned char>(*text)) return false;
            Get();
        }
        return true;
    }

    // %d: blanks, an optional sign, at least one digit.
    bool Integer()
    {
        SkipBlanks();
        if (Peek() == '+' || Peek() == '-') Get();
        if (!IsDigit(Peek())) return false;
        while (IsDigit(Peek()))
            Get();
        return true;
    }

    // %s: blanks, then a run of non-blank characters. Stores up to max of
    // them; unusable tells whether there were more, or a zero byte that would
    // cut the stored text short.
    bool Word(char* dest, int max, bool& unusable)
    {
        SkipBlanks();
        int length = 0;
        unusable = false;
        while (Peek() != EOF && !IsBlank(Peek()))
        {
            char c = static_cast<char>(Get());
            if (length < max && c != 0)
                dest[length++] = c;
            else
                unusable = true;
        }
        dest[length] = 0;
        return length > 0 || unusable;
    }

    // %lf: blanks, then a decimal number (digits with an optional point and
    // exponent), a hexadecimal one ("0x" digits, optional point and "p"
    // exponent), or one of the words inf, infinity and nan, each with an
    // optional sign. finite is false for infinities, NaN and values beyond
    // the double range.
    bool Number(double& value, bool& finite)
    {
        SkipBlanks();
        mLength = 0;
        mOverflow = false;
        if (Peek() == '+' || Peek() == '-') Take();
        int c = Peek();
        if (c == 'i' || c == 'I' || c == 'n' || c == 'N')
        {
            while ((Peek() >= 'a' && Peek() <= 'z') || (Peek() >= 'A' && Peek() <= 'Z'))
                Take();
        }
        else
        {
            bool hex = false;
            if (Peek() == '0')
            {
                Take();
                if (Peek() == 'x' || Peek() == 'X')
                {
                    Take();
                    hex = true;
                }
            }
            auto isDigit = [hex](int d)
            { return IsDigit(d) || (hex && ((d >= 'a' && d <= 'f') || (d >= 'A' && d <= 'F'))); };
            while (isDigit(Peek()))
                Take();
            if (Peek() == '.')
            {
                Take();
                while (isDigit(Peek()))
                    Take();
            }
            int e = Peek();
            if (hex ? (e == 'p' || e == 'P') : (e == 'e' || e == 'E'))
            {
                Take();
                if (Peek() == '+' || Peek() == '-') Take();
                if (!IsDigit(Peek())) return false; // an exponent without digits
                while (IsDigit(Peek()))
                    Take();
            }
        }
        if (mOverflow) return false;
        mToken[mLength] = 0;
        return ParseNumber(mToken, mLength, value, finite);
    }

private:
    static bool ParseNumber(const char* text, int length, double& value, bool& finite)
    {
        const char* p = text;
        const char* end = text + length;
        bool negative = false;
        if (p < end && (*p == '+' || *p == '-')) negative = *p++ == '-';
        if (p == end) return false;

        char word[9] = {};
        if (end - p <= 8)
        {
            for (int i = 0; p + i < end; ++i)
                word[i] = Lower(p[i]);
            if (!std::strcmp(word, "inf") || !std::strcmp(word, "infinity") ||
                !std::strcmp(word, "nan"))
            {
                finite = false;
                return true;
            }
        }

        std::chars_format format = std::chars_format::general;
        if (end - p > 2 && p[0] == '0' && (p[1] == 'x' || p[1] == 'X'))
        {
            format = std::chars_format::hex;
            p += 2;
        }
        // A sign after the prefix or the sign would be a second sign.
        if (p < end && (*p == '+' || *p == '-')) return false;
        double parsed = 0.0;
        std::from_chars_result result = std::from_chars(p, end, parsed, format);
        if (result.ptr != end) return false;
        if (result.ec == std::errc::result_out_of_range)
        {
            finite = false;
            return true;
        }
        if (result.ec != std::errc()) return false;
        value = negative ? -parsed : parsed;
        finite = std::isfinite(value);
        return true;
    }

    void Take()
    {
        int c = Get();
        if (mLength < kMaxNumberToken)
            mToken[mLength++] = static_cast<char>(c);
        else
            mOverflow = true;
    }

    ByteReader mIn;
    char mToken[kMaxNumberToken + 1];
    int mLength = 0;
    bool mOverflow = false;
};

// Collects the values of a preset file per parameter; the last line naming a
// parameter wins, as if the lines were applied one after the other.
class ValueCollector : public PresetLineSink
{
public:
    explicit ValueCollector(const IPlugBase& plug)
        : mPlug(plug), mValues(static_cast<size_t>(plug.NParams())),
          mSeen(static_cast<size_t>(plug.NParams()), false)
    {
    }

    void Value(const char* name, double value) override
    {
        int idx = FindParamIndexByName(mPlug, name);
        if (idx < 0) return;
        mValues[static_cast<size_t>(idx)] = value;
        mSeen[static_cast<size_t>(idx)] = true;
    }

    // Every parameter falls to its minimum, then takes its value from the
    // file, clamped into its range.
    void Apply(IPlugBase& plug) const
    {
        for (int i = 0; i < plug.NParams() && i < static_cast<int>(mValues.size()); ++i)
        {
            IPlugParam* param = plug.GetParam(i);
            param->SetFromNormalized(0.0);
            if (mSeen[static_cast<size_t>(i)])
                param->SetValueClamped(mValues[static_cast<size_t>(i)]);
        }
    }

private:
    const IPlugBase& mPlug;
    std::vector<double> mValues;
    std::vector<bool> mSeen;
};
} // namespace

int FindParamIndexByName(const IPlugBase& plug, const char* name)
{
    if (!name || !*name) return -1;
    for (int i = 0; i < plug.NParams(); ++i)
    {
        const char* paramName = plug.GetParam(i)->Name();
        if (*paramName && std::strcmp(paramName, name) == 0) return i;
    }
    return -1;
}

IPlugParam* FindParamByName(IPlugBase& plug, const char* name)
{
    return plug.GetParam(FindParamIndexByName(plug, name));
}

void AppendPresetNumber(std::string& out, double value)
{
    // Large enough for the longest fixed-point double (309 digits) plus sign,
    // point and 12 decimals.
    char text[400];
    std::to_chars_result result =
        std::to_chars(text, text + sizeof(text), value, std::chars_format::fixed, 12);
    if (result.ec == std::errc())
        out.append(text, result.ptr);
    else
        out += "0.000000000000";
}

std::string FormatPresetText(PresetTarget& target)
{
    IPlugBase& plug = target.Plugin();
    std::string text = kHeaderWord;
    text += " V";
    text += std::to_string(kPresetVersionMajor);
    text += '.';
    text += std::to_string(kPresetVersionMinor);
    text += '\n';
    PlugLockGuard lock(plug.Lock()); // one consistent set of values
    for (int i = 0; i < plug.NParams(); ++i)
    {
        const IPlugParam* param = plug.GetParam(i);
        if (target.SkippedInPresetFiles(i) || !*param->Name()) continue;
        text += kLineWord;
        text += ' ';
        text += param->Name();
        text += ' ';
        AppendPresetNumber(text, param->Value());
        text += '\n';
    }
    return text;
}

bool ReadPresetStream(FILE* file, PresetLineSink& sink)
{
    if (!file) return false;
    Scanner in(file);
    if (!in.Literal(kHeaderWord)) return false;
    in.SkipBlanks();
    if (!in.Literal("V") || !in.Integer() || !in.Literal(".") || !in.Integer()) return false;
    in.SkipBlanks();

    char name[kPresetMaxName + 1];
    while (!in.AtEnd())
    {
        if (!in.Literal(kLineWord)) break;
        bool unusable = false;
        if (!in.Word(name, kPresetMaxName, unusable)) break;
        double value = 0.0;
        bool finite = true;
        if (!in.Number(value, finite)) break;
        if (!unusable && finite) sink.Value(name, value);
        in.SkipBlanks();
    }
    return true;
}

bool SavePresetFile(PresetTarget& target, PresetName& presetName, const char* path,
                    const PresetWriteRunner& run)
{
    if (!path || !*path) return false;
    const std::string text = FormatPresetText(target);
    bool written = false;
    const auto write = [&] { written = WriteFileAtomically(path, text.data(), text.size(), true); };
    if (!run)
        write();
    else if (!run(write))
        return false;
    if (!written)
    {
        // A save that did not happen must not pass for one that did.
        target.SetReadoutText(kPresetNotSaved);
        return false;
    }
    presetName.SetFromPath(path);
    target.ShowPresetName(presetName.Name());
    target.SetReadoutText("");
    // Saving changes nothing that is heard: the sound goes on without a fade.
    return true;
}

bool LoadPresetFile(PresetTarget& target, PresetName& presetName, const char* path)
{
    if (!path || !*path) return false;
    // Binary mode: the reader takes "\r" as a blank itself, so files with
    // either line end read the same on every platform. Only a regular file:
    // a pipe named like a preset would hold the load until someone writes.
    FILE* file = OpenRegularFileUtf8(path);
    if (!file) return false;
    IPlugBase& plug = target.Plugin();
    ValueCollector values(plug);
    bool headerOk = ReadPresetStream(file, values);
    std::fclose(file);

    // The audio thread sees either the old preset or the new one, and the new
    // one only with its fade-in already restarted. The editor steps in between
    // only store texts, values and dirty flags.
    PlugLockGuard lock(plug.Lock());
    if (headerOk) values.Apply(plug);
    plug.NotifyAllParamsChanged();

    presetName.SetFromPath(path);
    // A file that is no preset (any file can be picked to load) shows its
    // name, but "Save" must not write preset text over it unasked.
    if (!headerOk) presetName.ForgetPath();
    target.ShowPresetName(presetName.Name());
    if (IEditor* editor = plug.GetEditor()) editor->MarkAllControlsDirty();
    target.SetReadoutText("");
    plug.PushParamsToEditor();
    target.RestartFadeIn();
    return true;
}
