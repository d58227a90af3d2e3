#include "PresetTestSupport.h"

#include "presets/PresetFolder.h"

#include <gtest/gtest.h>
#include <thread>

namespace
{
const char* const kTapFamilies[] = {"In",   "Rx",    "Mode", "Time",  "Bpm",   "Fb",
                                    "Lpf",  "Hpf",   "Pct",  "Rate",  "Depth", "Shape",
                                    "Gain", "Phase", "Pan",  "Mains", "Oper"};

struct TapRow
{
    const char* family;
    int base;
    char kind; // 'e' enum, 'c' continuous, 's' switch
    double def, min, max, step;
    int choices;
};

const TapRow kTapRows[] = {
    {"In", 4, 'e', 0, 0, 0, 0, 6},
    {"Rx", 13, 'e', 8, 0, 0, 0, 9},
    {"Mode", 22, 'e', 1, 0, 0, 0, 2},
    {"Time", 31, 'c', 500, 1, 2000, 0.1, 0},
    {"Bpm", 40, 'e', 9, 0, 0, 0, 23},
    {"Fb", 49, 'c', -3, -25, 0, 0.25, 0},
    {"Lpf", 58, 'c', 4000, 1000, 12000, 110, 0},
    {"Hpf", 67, 'c', 150, 50, 1000, 9.5, 0},
    {"Pct", 85, 'c', 1, 0, 1, 0.01, 0},
    {"Rate", 103, 'c', 1, 0, 5, 0.01, 0},
    {"Depth", 112, 'c', 2.5, 0, 6, 0, 0},
    {"Shape", 121, 'e', 0, 0, 0, 0, 5},
    {"Gain", 139, 'c', 0, -40, 0, 1, 0},
    {"Phase", 148, 'e', 0, 0, 0, 0, 2},
    {"Pan", 157, 'c', 0.5, 0, 1, 0.01, 0},
    {"Mains", 166, 's', 0, 0, 0, 0, 0},
    {"Oper", 175, 'e', 0, 0, 0, 0, 3},
};
} // namespace

DelayShapedPlug::DelayShapedPlug()
    : NoHostPlug(216, "1-1 2-2", 6, "Zelbor", "", "Mardelwick", 0x10000, 0x6D775A62, 0x6D64776B, 0,
                 false, false, false)
{
    AddParam();
    AddParam();
    GetParam(0)->DefineContinuous("Wet", 0.7, 0, 1, 0.01);
    GetParam(1)->DefineContinuous("Dry", 0.7, 0, 1, 0.01);
    GetParam(2)->DefineContinuous("Level", 1, 0, 1, 0.01);
    GetParam(3)->DefineContinuous("FbScale", 1, 0, 1, 0.01);
    const char letters[] = "ABCDEFGH";
    for (const TapRow& row : kTapRows)
    {
        for (int t = 0; t < 8; ++t)
        {
            std::string name = std::string(row.family) + "_" + letters[t];
            IPlugParam* param = GetParam(row.base + t);
            if (row.kind == 'e')
            {
                int def = static_cast<int>(row.def);
                if (row.base == 4) def = t == 0 ? 1 : (t == 1 ? 2 : 0);
                param->DefineEnum(name.c_str(), def, row.choices);
            }
            else if (row.kind == 's')
                param->DefineSwitch(name.c_str(), t < 2);
            else
                param->DefineContinuous(name.c_str(), row.def, row.min, row.max, row.step);
        }
    }
    GetParam(184)->DefineSwitch("Scl_Rst", false);
    GetParam(185)->DefineContinuous("Scl_Dly", 1, 0.25, 4, 0.01);
    GetParam(186)->DefineContinuous("Scl_Fbk", 1, 0.75, 1.25, 0.01);
    GetParam(187)->DefineContinuous("Scl_Rate", 1, 0.25, 4, 0.01);
    GetParam(188)->DefineContinuous("Scl_Dpth", 1, 0.25, 4, 0.01);
    GetParam(185)->SetShapeExponent(2.295);
    GetParam(187)->SetShapeExponent(2.295);
    GetParam(188)->SetShapeExponent(2.295);
    GetParam(215)->DefineSwitch("Panic", false);
    GetParam(217)->DefineContinuous("", 0, 0, 1, 1);
}

void DelayShapedPlug::HostTransport(double& samplePos, double& tempo, double& ppqPos,
                                    double& barStart, int& numerator, int& denominator,
                                    double& cycleStart, double& cycleEnd, bool& playing,
                                    bool& cycling)
{
    samplePos = ppqPos = barStart = cycleStart = cycleEnd = 0.0;
    tempo = 120.0;
    numerator = denominator = 4;
    playing = cycling = false;
}

double DelayShapedPlug::Value(const char* name)
{
    IPlugParam* param = FindParamByName(*this, name);
    EXPECT_NE(param, nullptr) << name;
    return param ? param->Value() : -12345.0;
}

void DelayShapedPlug::SetValue(const char* name, double value)
{
    IPlugParam* param = FindParamByName(*this, name);
    ASSERT_NE(param, nullptr) << name;
    param->SetValue(value);
}

std::vector<std::string> StoredParamNames()
{
    std::vector<std::string> names = {"Wet", "Dry", "Level", "FbScale"};
    const char letters[] = "ABCDEFGH";
    for (const char* family : kTapFamilies)
        for (int t = 0; t < 8; ++t)
            names.push_back(std::string(family) + "_" + letters[t]);
    for (const char* name : {"Scl_Dly", "Scl_Fbk", "Scl_Rate", "Scl_Dpth"})
        names.push_back(name);
    return names;
}

bool HeldByThisThread(PlugLock& lock)
{
    bool taken = false;
    std::thread(
        [&]
        {
            taken = lock.TryEnter();
            if (taken) lock.Leave();
        })
        .join();
    return !taken;
}

void Touch(const fs::path& path)
{
    fs::create_directories(path.parent_path());
    WriteBytes(path, "Delay V1.0\n");
}

std::vector<std::string> DisplayNames(const PresetFolder& folder)
{
    std::vector<std::string> names;
    for (PresetFile* f = folder.Files().First(); f; f = folder.Files().Next(f))
        names.push_back(f->DisplayName());
    return names;
}

std::vector<std::string> FolderNames(const PresetFolder& folder)
{
    std::vector<std::string> names;
    for (PresetFolder* f = folder.Folders().First(); f; f = folder.Folders().Next(f))
        names.push_back(f->Name());
    return names;
}
