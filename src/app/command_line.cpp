#include "app/command_line.h"

#include "base/version.h"

#include <algorithm>
#include <string_view>

namespace kastra {

namespace {

const char kHelp[] =
    "usage: kastra-theme-creator [QT-OPTION ...] [FILE]\n"
    "\n"
    "Opens the Halvorn Kastra theme creator's window on a fresh theme workspace.\n"
    "The program folder is the program's own folder when it may write there,\n"
    "else $XDG_DATA_HOME/kastra-theme/. See kastra-theme-creator(1).\n"
    "\n"
    "FILE is loaded as if dropped onto the window: a picture (BMP, JPEG, PNG),\n"
    "a theme package (.sis), a font (.gdr) or one of the five theme files.\n"
    "\n"
    "  -h, --help     show this text and exit\n"
    "  --version      show the version and exit\n"
    "\n"
    "Qt's own options, such as -platform NAME or -style NAME, are passed to Qt.\n"
    "The command-line companion is kastra-theme(1).\n";

struct QtOption {
    std::string_view name;
    bool takesValue;
};

// The options QGuiApplication, QApplication and the platform plugins read
// from the command line themselves.
constexpr QtOption kQtOptions[] = {
    {"platform", true},    {"platformpluginpath", true}, {"platformtheme", true}, {"plugin", true},
    {"qwindowgeometry", true}, {"qwindowtitle", true}, {"qwindowicon", true},  {"geometry", true},
    {"title", true},       {"icon", true},               {"session", true},       {"style", true},
    {"stylesheet", true},  {"display", true},            {"name", true},          {"visual", true},
    {"ncols", true},       {"cmap", true},               {"im", true},            {"inputstyle", true},
    {"qmljsdebugger", true}, {"reverse", false},         {"widgetcount", false},  {"testability", false},
    {"nograb", false},     {"dograb", false},            {"sync", false},
};

ProgramCommandLine refused(const std::string& why)
{
    return {ProgramRequest::Refused, "kastra-theme-creator: " + why + " (see --help)\n", {}};
}

} // namespace

ProgramCommandLine ReadProgramCommandLine(int argc, const char* const* argv)
{
    ProgramCommandLine run;
    bool optionsEnded = false;
    for (int i = 1; i < argc; ++i) {
        const std::string_view word = argv[i];
        if (optionsEnded || word.size() < 2 || word[0] != '-') {
            if (word.empty())
                return refused("an empty word is no file");
            if (!run.file.empty())
                return refused("takes one file at most: " + std::string(word));
            run.file = word;
            continue;
        }
        if (word == "--") {
            optionsEnded = true;
            continue;
        }
        if (word == "-h" || word == "--help")
            return {ProgramRequest::Help, kHelp, {}};
        if (word == "--version")
            return {ProgramRequest::Version, versionText("kastra-theme-creator"), {}};
        std::string_view name = word.substr(word.starts_with("--") ? 2 : 1);
        const auto equals = name.find('=');
        const bool valueAttached = equals != std::string_view::npos;
        name = name.substr(0, equals);
        const auto known = std::find_if(std::begin(kQtOptions), std::end(kQtOptions),
                                        [name](const QtOption& o) { return o.name == name; });
        if (known == std::end(kQtOptions))
            return refused("unknown option " + std::string(word));
        if (known->takesValue && !valueAttached && ++i >= argc)
            return refused(std::string(word) + " needs a value");
    }
    return run;
}

} // namespace kastra
