// Random and mutated preset and configuration files through the readers: no
// crash, no overrun (the sanitizers watch), and every loaded value stays a
// finite number inside its parameter's range.

#include "PresetTestSupport.h"
#include "platform/FileOpen.h"
#include "presets/ConfigItems.h"
#include "presets/ConfigurationFileReader.h"
#include "presets/PresetName.h"

#include <cmath>
#include <cstring>
#include <gtest/gtest.h>
#include <random>

namespace
{
class Mutator
{
public:
    explicit Mutator(unsigned seed) : mRandom(seed) {}

    int Below(int n) { return std::uniform_int_distribution<int>(0, n - 1)(mRandom); }

    std::string RandomBytes(int maxLength)
    {
        std::string text(static_cast<size_t>(Below(maxLength + 1)), '\0');
        for (char& c : text)
            c = static_cast<char>(Below(256));
        return text;
    }

    // Pieces that tend to reach the readers' corners.
    std::string Piece()
    {
        static const char* const pieces[] = {"param",
                                             " ",
                                             "\t",
                                             "\n",
                                             "\r\n",
                                             "\r",
                                             "Wet",
                                             "Time_A",
                                             "Scl_Rst",
                                             "Panic",
                                             "Level",
                                             "-",
                                             "+",
                                             ".",
                                             "e",
                                             "E",
                                             "e+",
                                             "0x",
                                             "p-",
                                             "1",
                                             "0",
                                             "9999999",
                                             "1e308",
                                             "1e-320",
                                             "nan",
                                             "inf",
                                             "Infinity",
                                             "\"",
                                             "'",
                                             ";",
                                             "PresetFolder",
                                             "Delay V",
                                             "Delay V1.0\n",
                                             "\xFF",
                                             "\x80",
                                             "\x1A",
                                             std::string(1, '\0').c_str()};
        int i = Below(static_cast<int>(sizeof(pieces) / sizeof(pieces[0])));
        if (i == static_cast<int>(sizeof(pieces) / sizeof(pieces[0])) - 1)
            return std::string(1, '\0');
        std::string piece = pieces[i];
        if (Below(20) == 0)
            piece = std::string(static_cast<size_t>(Below(700)), piece.empty() ? 'x' : piece[0]);
        return piece;
    }

    std::string Mutate(std::string text)
    {
        int edits = 1 + Below(8);
        for (int e = 0; e < edits; ++e)
        {
            size_t at =
                text.empty() ? 0 : static_cast<size_t>(Below(static_cast<int>(text.size()) + 1));
            switch (Below(5))
            {
            case 0: // flip a bit
                if (!text.empty()) text[at % text.size()] ^= static_cast<char>(1 << Below(8));
                break;
            case 1: // insert a piece
                text.insert(at, Piece());
                break;
            case 2: // delete a run
                if (!text.empty()) text.erase(at % text.size(), static_cast<size_t>(Below(40)));
                break;
            case 3: // duplicate a run
                if (!text.empty())
                    text.insert(at, text.substr(at % text.size(), static_cast<size_t>(Below(200))));
                break;
            default: // random bytes
                text.insert(at, RandomBytes(16));
                break;
            }
        }
        return text;
    }

private:
    std::mt19937 mRandom;
};

class CheckingSink : public PresetLineSink
{
public:
    void Value(const char* name, double value) override
    {
        EXPECT_LE(std::strlen(name), static_cast<size_t>(kPresetMaxName));
        EXPECT_GT(std::strlen(name), 0u);
        EXPECT_TRUE(std::isfinite(value));
        ++count;
    }
    int count = 0;
};
} // namespace

TEST(ReaderFuzz, PresetFiles)
{
    ScratchDir dir;
    TestTarget target;
    PresetName name;
    std::string path = dir.File("fuzz.preset");
    ASSERT_TRUE(SavePresetFile(target, name, path.c_str()));
    const std::string valid = ReadBytes(PathFromUtf8(path));

    Mutator mutate(20240607);
    int reported = 0;
    for (int round = 0; round < 2000; ++round)
    {
        std::string content;
        switch (round % 3)
        {
        case 0:
            content = mutate.Mutate(valid);
            break;
        case 1:
            content = "Delay V1.0\n";
            for (int i = mutate.Below(30); i > 0; --i)
                content += mutate.Piece();
            break;
        default:
            content = mutate.RandomBytes(400);
            break;
        }
        // A new file each round: overwriting one in place makes some file
        // systems write it out to disk every time.
        path = dir.File("fuzz" + std::to_string(round) + ".preset");
        WriteBytes(PathFromUtf8(path), content);
        FILE* file = OpenFileUtf8(path.c_str(), "rb");
        ASSERT_NE(file, nullptr);
        CheckingSink sink;
        ReadPresetStream(file, sink);
        std::fclose(file);
        reported += sink.count;

        if (round % 10 == 0)
        {
            ASSERT_TRUE(LoadPresetFile(target, name, path.c_str()));
            for (int i = 0; i < target.plug.NParams(); ++i)
            {
                const IPlugParam* p = target.plug.GetParam(i);
                ASSERT_TRUE(std::isfinite(p->Value()));
                ASSERT_GE(p->Value(), p->Min());
                ASSERT_LE(p->Value(), p->Max());
            }
        }
        fs::remove(PathFromUtf8(path));
    }
    EXPECT_GT(reported, 1000); // the mutations leave plenty of valid lines
}

TEST(ReaderFuzz, ConfigurationFiles)
{
    ScratchDir dir;
    std::string path = dir.File("Zelbor.ini");
    const std::string valid =
        "; preset location\nPresetFolder \"C:\\Presets\\Delay one\"\nOther 12\n";
    Mutator mutate(777);
    for (int round = 0; round < 1000; ++round)
    {
        std::string content = round % 2 ? mutate.Mutate(valid) : mutate.RandomBytes(1200);
        path = dir.File("Zelbor" + std::to_string(round) + ".ini");
        WriteBytes(PathFromUtf8(path), content);
        {
            ConfigurationFileReader reader(OpenFileUtf8(path.c_str(), "rb"));
            while (reader.NextEntry())
            {
                ASSERT_LE(std::strlen(reader.Key()), 40u);
                ASSERT_LE(std::strlen(reader.Value()), 512u);
                ASSERT_GT(std::strlen(reader.Key()), 0u);
            }
        }
        ConfigItems items;
        ReadConfiguration(items, path.c_str());
        ASSERT_LE(std::strlen(items.Text(ConfigItems::PresetFolder)),
                  static_cast<size_t>(TextFileReader::kMaxLine));
        fs::remove(PathFromUtf8(path));
    }
}
