// Any command file must split into words and parse into a command or a
// reason; a palette file must parse or fail cleanly.
#include "mbm/mbm_command.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace kastra::mbm;
    const kastra::ByteSpan text(data, size);
    const auto words = splitCommandFile(text);
    for (const auto& w : words)
        if (w.empty())
            __builtin_trap();
    auto cmd = parseCommand(words);
    if (cmd) {
        std::vector<std::string> names;
        for (const auto& s : cmd->sources) {
            if (s.path.empty() || !isValidMode(s.mode))
                __builtin_trap();
            names.push_back(s.path);
        }
        (void)headerFileText(cmd->mbm, names);
    } else if (cmd.error().empty()) {
        __builtin_trap();
    }
    (void)parsePaletteFile(text);
    return 0;
}
