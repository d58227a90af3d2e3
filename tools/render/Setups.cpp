#include "tools/render/Setups.h"

namespace zelbor::render
{

const std::vector<Setup>& BuiltInSetups()
{
    static const std::vector<Setup> setups = {
        {"defaults",
         "the effect as it loads: tap A echoes the left input, tap B the right, 500 ms, "
         "-3 dB feedback",
         {}},
        {"pingpong",
         "ping-pong across A and B: both hear the mid signal with 500 ms repeats; B injects "
         "halfway into its line, so the echoes alternate right (250 ms) and left (500 ms)",
         {{"In_A", "M"},
          {"In_B", "M"},
          {"Time_A", "500"},
          {"Time_B", "500"},
          {"Pct_B", "0.5"},
          {"Pan_A", "0"},
          {"Pan_B", "1"},
          {"Fb_A", "-4"},
          {"Fb_B", "-4"},
          {"Depth_A", "0.3"},
          {"Depth_B", "0.3"},
          {"Lpf_A", "6000"},
          {"Lpf_B", "6000"},
          {"Wet", "0.6"}}},
        {"rhythm",
         "a four-tap rhythm locked to the host tempo: a dotted eighth, a quarter, a quarter "
         "triplet and a dotted quarter, spread across the stereo field",
         {{"In_A", "L+R"},    {"In_B", "L+R"},   {"In_C", "L+R"},    {"In_D", "L+R"},
          {"Mode_A", "bpm"},  {"Mode_B", "bpm"}, {"Mode_C", "bpm"},  {"Mode_D", "bpm"},
          {"Bpm_A", "1/8 d"}, {"Bpm_B", "1/4"},  {"Bpm_C", "1/4 t"}, {"Bpm_D", "1/4 d"},
          {"Mains_C", "on"},  {"Mains_D", "on"}, {"Pan_A", "0.15"},  {"Pan_B", "0.85"},
          {"Pan_C", "0.35"},  {"Pan_D", "0.65"}, {"Fb_A", "-12"},    {"Fb_B", "-10"},
          {"Fb_C", "-14"},    {"Fb_D", "-12"},   {"Gain_C", "-3"},   {"Gain_D", "-4"},
          {"Depth_A", "0"},   {"Depth_B", "0"},  {"Depth_C", "0"},   {"Depth_D", "0"},
          {"Wet", "0.55"}}},
        {"chain",
         "a serial chain A -> B -> C: each stage repeats the one before it later and darker "
         "(filters closing from 6 kHz to 1.5 kHz)",
         {{"In_A", "L+R"},   {"In_B", "-"},     {"Rx_B", "A"},     {"In_C", "-"},
          {"Rx_C", "B"},     {"Mains_C", "on"}, {"Time_A", "300"}, {"Time_B", "450"},
          {"Time_C", "600"}, {"Fb_A", "-9"},    {"Fb_B", "-9"},    {"Fb_C", "-8"},
          {"Lpf_A", "6000"}, {"Lpf_B", "3000"}, {"Lpf_C", "1500"}, {"Hpf_A", "300"},
          {"Hpf_B", "200"},  {"Hpf_C", "120"},  {"Pan_A", "0.3"},  {"Pan_B", "0.7"},
          {"Pan_C", "0.5"},  {"Depth_A", "0"},  {"Depth_B", "0"},  {"Depth_C", "1"},
          {"Wet", "0.6"}}},
        {"chorus",
         "a chorus: two short delays (12 and 17 ms) swept by slow LFOs, almost no feedback",
         {{"Time_A", "12"},
          {"Time_B", "17"},
          {"Fb_A", "-25"},
          {"Fb_B", "-25"},
          {"Rate_A", "0.8"},
          {"Rate_B", "1.1"},
          {"Depth_A", "3"},
          {"Depth_B", "3.5"},
          {"Shape_B", "Tri"},
          {"Lpf_A", "12000"},
          {"Lpf_B", "12000"},
          {"Hpf_A", "50"},
          {"Hpf_B", "50"},
          {"Pan_A", "0.2"},
          {"Pan_B", "0.8"},
          {"Wet", "0.7"},
          {"Dry", "0.7"}}},
    };
    return setups;
}

const Setup& BenchSetup()
{
    static const Setup bench = {
        "eight-taps",
        "all eight taps reading the inputs, modulated and on the mains",
        {{"In_A", "L"},          {"In_B", "R"},       {"In_C", "L+R"},    {"In_D", "M"},
         {"In_E", "S"},          {"In_F", "L"},       {"In_G", "R"},      {"In_H", "L+R"},
         {"Mains_C", "on"},      {"Mains_D", "on"},   {"Mains_E", "on"},  {"Mains_F", "on"},
         {"Mains_G", "on"},      {"Mains_H", "on"},   {"Time_A", "125"},  {"Time_B", "250"},
         {"Time_C", "375"},      {"Time_D", "500"},   {"Time_E", "625"},  {"Time_F", "750"},
         {"Time_G", "875"},      {"Time_H", "1000"},  {"Fb_A", "-6"},     {"Fb_B", "-6"},
         {"Fb_C", "-6"},         {"Fb_D", "-6"},      {"Fb_E", "-6"},     {"Fb_F", "-6"},
         {"Fb_G", "-6"},         {"Fb_H", "-6"},      {"Shape_C", "Tri"}, {"Shape_D", "Ramp Up"},
         {"Shape_E", "Ramp Dn"}, {"Shape_F", "Sine"}, {"Shape_G", "Tri"}, {"Shape_H", "Sine"},
         {"Wet", "0.5"}}};
    return bench;
}

const Setup* FindSetup(const std::string& name)
{
    for (const Setup& s : BuiltInSetups())
    {
        if (s.name == name)
        {
            return &s;
        }
    }
    if (name == BenchSetup().name)
    {
        return &BenchSetup();
    }
    return nullptr;
}

} // namespace zelbor::render
