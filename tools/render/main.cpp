#include "tools/render/RenderTool.h"

#include <iostream>
#include <string>
#include <unistd.h>
#include <vector>

int main(int argc, char** argv)
{
    std::vector<std::string> args(argv + 1, argv + argc);
    return zelbor::render::RunRenderTool(args, std::cout, std::cerr, isatty(STDERR_FILENO) != 0);
}
