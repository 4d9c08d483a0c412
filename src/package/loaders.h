#pragma once
// The three loaders of the SIS page: a handset font and the application
// information files of veZozi and veZorCtrl, placed in the package folder
// where the next build keeps them instead of its defaults. Each file is
// checked with our own readers first: it is installed into the handset's
// system folders, so a file that is not what it claims is refused and the
// one loaded before stays.

#include "workspace/outcome.h"
#include "workspace/workspace.h"

#include <QString>

namespace kastra {

// The open-file dialog filters, in the form the window converts for Qt.
inline constexpr char16_t FontFilter[] = u"GDR Font (*.gdr)|*.gdr";
inline constexpr char16_t AifFilter[] = u"Aif File (*.aif)|*.aif";
inline constexpr char16_t SisFilter[] = u"SIS File (*.sis)|*.sis";

// The text FontStatusLabel shows once a font was loaded.
inline constexpr char16_t FontLoadedText[] = u"Шрифт загружен";

enum class LoadedFile { Font, MenuAif, AppAif };

// "kde.gdr", "veZozi.aif", "veZorCtrl.aif": the name in the package folder.
QString loadedFileName(LoadedFile kind);

// Checks the chosen file (a font store; an application information file
// with sound UIDs and checksum, made for the application its button loads:
// the UID of the image the build installs) and copies it over the package
// folder's file atomically. On success outcome.ok is true, there is no message and written
// names that file (the font loader's caller sets FontStatusLabel to
// FontLoadedText); otherwise a
// warning titled with the window caption says why, and nothing changed.
Outcome LoadPackageFile(const Workspace& ws, LoadedFile kind, const QString& chosenPath);

inline Outcome LoadFont(const Workspace& ws, const QString& path)
{
    return LoadPackageFile(ws, LoadedFile::Font, path);
}
inline Outcome LoadMenuAif(const Workspace& ws, const QString& path)
{
    return LoadPackageFile(ws, LoadedFile::MenuAif, path);
}
inline Outcome LoadAppAif(const Workspace& ws, const QString& path)
{
    return LoadPackageFile(ws, LoadedFile::AppAif, path);
}

} // namespace kastra
