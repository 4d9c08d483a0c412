#pragma once
// A theme workspace for the package tests: its own program folder (with
// SISTool.exe when asked) and workspace root in a temporary folder, set up
// with the defaults as a start does, then given a picture as an import does
// (Top1-4.bmp and Back.bmp), so that a build has every slot it packs.

#include "bitmap_fixture.h"
#include "test_support.h"
#include "workspace/workspace.h"
#include "converter/setup.h"

#include <QString>

#include <gtest/gtest.h>

#include <filesystem>

namespace kastra::test {

inline QString q(const std::filesystem::path& p)
{
    return QString::fromStdString(p.string());
}

inline std::filesystem::path binDir()
{
    return KASTRA_BIN_DIR;
}

class ThemeWorkspace {
public:
    explicit ThemeWorkspace(bool withSisTool = true, int backWidth = 176)
    {
        namespace fs = std::filesystem;
        fs::create_directories(m_dir.path() / "program");
        fs::create_directories(m_dir.path() / "Temp" / "WorkDir");
        if (withSisTool)
            fs::copy_file(binDir() / "SISTool.exe", programFolder() / "SISTool.exe");
        (void)PrepareWorkspace(ws, false, false);
        importPicture(1, backWidth);
    }

    void importPicture(unsigned seed, int backWidth = 176) { writeImportedPictures(root(), seed, backWidth); }

    std::filesystem::path root() const { return m_dir.path() / "Temp" / "WorkDir"; }
    std::filesystem::path sis() const { return root() / "SIS"; }
    std::filesystem::path programFolder() const { return m_dir.path() / "program"; }
    std::filesystem::path base() const { return m_dir.path(); }

private:
    TempDir m_dir;

public:
    Workspace ws{q(m_dir.path() / "Temp" / "WorkDir") + u'/', q(m_dir.path() / "program") + u'/'};
};

} // namespace kastra::test
