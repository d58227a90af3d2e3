#include "platform/ModulePath.h"

#include "platform/DynamicLibrary.h"

#include <gtest/gtest.h>
#include <string>

namespace
{
// Linked into this test program, the module is the program itself.
TEST(ModulePath, NamesTheFileThisCodeWasLoadedFrom)
{
    const std::string path = ModuleFilePath();
    ASSERT_FALSE(path.empty());
    EXPECT_NE(path.find("test_vst"), std::string::npos) << path;
    const std::string folder = ModuleFolder();
    ASSERT_FALSE(folder.empty());
    EXPECT_EQ(path.compare(0, folder.size(), folder), 0);
    const char last = folder.back();
    EXPECT_TRUE(last == '/' || last == '\\');
    EXPECT_EQ(path.find_first_of("/\\", folder.size()), std::string::npos);

    int marker = 0;
    void* before = ModuleInstance();
    SetModuleInstance(&marker);
    EXPECT_EQ(ModuleInstance(), &marker);
    SetModuleInstance(before);
}

TEST(DynamicLibrary, MissingFileFailsWithAReason)
{
    DynamicLibrary lib;
    EXPECT_FALSE(lib.Open("no-such-module-here.bin"));
    EXPECT_FALSE(lib.IsOpen());
    EXPECT_FALSE(lib.Error().empty());
    EXPECT_EQ(lib.Symbol("main"), nullptr);
}
} // namespace
