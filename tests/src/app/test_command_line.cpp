// The window program's command line: one file to load, Qt's options with
// their values, and everything else refused.
#include "app/command_line.h"

#include <gtest/gtest.h>

#include <vector>

using namespace kastra;

TEST(ProgramCommandLine, TakesOneFileBesideQtsOptions)
{
    struct Case {
        std::vector<const char*> words;
        ProgramRequest request;
        std::string fileOrText;   // the file for Run, a part of the text otherwise
    };
    const Case cases[] = {
        {{}, ProgramRequest::Run, ""},
        {{"photo.jpg"}, ProgramRequest::Run, "photo.jpg"},
        {{"-platform", "offscreen", "/home/u/theme.sis"}, ProgramRequest::Run, "/home/u/theme.sis"},
        {{"Avkon.mbm", "-style=fusion"}, ProgramRequest::Run, "Avkon.mbm"},
        {{"--", "-odd name.png"}, ProgramRequest::Run, "-odd name.png"},
        {{"a.bmp", "b.bmp"}, ProgramRequest::Refused, "takes one file at most: b.bmp"},
        {{"a.bmp", "--", "b.bmp"}, ProgramRequest::Refused, "takes one file at most: b.bmp"},
        {{""}, ProgramRequest::Refused, "empty"},
        {{"--frobnicate", "a.bmp"}, ProgramRequest::Refused, "unknown option --frobnicate"},
        {{"a.bmp", "-style"}, ProgramRequest::Refused, "-style needs a value"},
        {{"a.bmp", "--help"}, ProgramRequest::Help, "[FILE]"},
    };
    for (const Case& c : cases) {
        std::vector<const char*> argv{"kastra-theme-creator"};
        argv.insert(argv.end(), c.words.begin(), c.words.end());
        const ProgramCommandLine line = ReadProgramCommandLine(static_cast<int>(argv.size()), argv.data());
        SCOPED_TRACE(line.text);
        EXPECT_EQ(line.request, c.request) << c.fileOrText;
        if (c.request == ProgramRequest::Run)
            EXPECT_EQ(line.file, c.fileOrText);
        else
            EXPECT_NE(line.text.find(c.fileOrText), std::string::npos) << line.text;
    }
}
