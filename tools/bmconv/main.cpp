// bmconv: packs BMP files into a Symbian multi-bitmap (MBM) file and unpacks
// them again, taking the same arguments and command files as the SDK tool of
// that name. Run without arguments for the usage.

#include "bmconv/bmconv_run.h"

#include <iostream>
#include <string>
#include <vector>

int main(int argc, char** argv)
{
    const std::vector<std::string> args(argv + 1, argv + argc);
    return kastra::bmconv::run(args, {}, std::cout, std::cerr);
}
