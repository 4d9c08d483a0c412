#pragma once
// The window program's command line. The program takes --help, --version
// and at most one FILE, which the window loads as if it had been dropped
// onto it (the desktop's "Open with" hands files over so); Qt's options
// (-platform, -style, ...) pass through to the application object. It is read before that object, the
// instance lock or the workspace exist, so --help and --version need no
// display and touch no file.

#include <string>

namespace kastra {

enum class ProgramRequest {
    Run,       // open the window
    Help,      // print text to standard output, exit 0
    Version,   // likewise
    Refused,   // print text to standard error, exit 2
};

struct ProgramCommandLine {
    ProgramRequest request = ProgramRequest::Run;
    std::string text;
    std::string file;   // for Run: the file to load, as given; empty for none
};

// Takes the words after the program name. Qt's own options are recognised
// with one or two dashes, with their value as the next word or after '='.
// A word without a leading dash, or any word after "--", is the FILE; a
// second one is refused.
ProgramCommandLine ReadProgramCommandLine(int argc, const char* const* argv);

} // namespace kastra
