// Scanning a preset folder of 2,000 files in 40 sub-folders, as the effect
// does while it is created (the aim: well under 50 ms).

#include "presets/PresetFolder.h"

#include <benchmark/benchmark.h>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

namespace
{

namespace fs = std::filesystem;

// The tree, made once and removed at exit.
class Tree
{
public:
    Tree()
        : mRoot(fs::temp_directory_path() /
                ("zelbor-bench-scan-" + std::to_string(reinterpret_cast<uintptr_t>(this))))
    {
        for (int f = 0; f < 40; ++f)
        {
            const fs::path folder = mRoot / ("Folder " + std::to_string(f));
            fs::create_directories(folder);
            for (int i = 0; i < 50; ++i)
                std::ofstream(folder / ("Preset " + std::to_string(i) + ".preset"))
                    << "Delay V1.0\n";
        }
    }
    ~Tree()
    {
        std::error_code ec;
        fs::remove_all(mRoot, ec);
    }
    std::string Path() const { return mRoot.string(); }

private:
    fs::path mRoot;
};

void BM_ScanTwoThousandFiles(benchmark::State& state)
{
    static const Tree tree;
    const std::string root = tree.Path();
    for (auto _ : state)
    {
        std::unique_ptr<PresetFolder> scanned = BuildPresetTree(root.c_str());
        benchmark::DoNotOptimize(scanned->LastNumber());
    }
}
BENCHMARK(BM_ScanTwoThousandFiles)->Unit(benchmark::kMillisecond);

} // namespace
