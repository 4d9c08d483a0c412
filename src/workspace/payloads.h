#pragma once
// The payloads the program carries: the two tools, the default theme files,
// the handset files and the Avkon pack list, each addressed by a resource
// type ("EXTPROGS" or "PKG") and a name, both upper case.
//
// The bytes are compiled into the program as Qt resources. A file
// payloads/<TYPE>/<NAME> in the program folder takes the place of the
// built-in bytes of that payload, so a user who owns the handset's original
// files can use them instead of this program's own.

#include <QByteArray>
#include <QString>

#include <optional>
#include <span>

namespace kastra {

// Every payload, in the order of the program's payload table. The
// comments give the resource type and name each is stored under.
enum class Payload {
    Bmconv,          // EXTPROGS BMC: this build's bmconv
    Makesis,         // EXTPROGS SIS: this build's makesis
    Avkon,           // PKG AVKON: the default Avkon.mbm
    AvkonEx,         // PKG AVKONEX: the default AvkonEx.mbm
    MenuFolders,     // PKG MENUF: the default menu_folders.mbm
    SplashTop,       // PKG SPLT: the default SplashTop.bmp
    NoImage,         // PKG NIMG: the banner of a scheme without one
    About,           // PKG ABOUT: the program's about picture
    AvkonPackList,   // PKG AVCOM: the command file that packs Avkon.mbm
    DeleteFonts,     // PKG DEL_F
    DeleteLogo,      // PKG DEL_L
    Restore,         // PKG RES
    RestoreAvkon,    // PKG RES_AV
    Font,            // PKG FONT
    AppAif,          // PKG APPAIF, APPAPP, APPR*, APPCR*: the veZorCtrl application
    AppApp,
    AppR1,
    AppR3,
    AppR16,
    AppCaptionR1,
    AppCaptionR3,
    AppCaptionR16,
    MenuAif,         // PKG MENAIF, MENAPP, MENR*, MENCR*: the veZozi application
    MenuApp,
    MenuR1,
    MenuR3,
    MenuR16,
    MenuCaptionR1,
    MenuCaptionR3,
    MenuCaptionR16,
};

// The resource type and name a payload is stored under ("PKG", "NIMG").
struct PayloadId {
    Payload payload;
    const char* type;
    const char* name;
};

// Every payload, in the order of the program's payload table.
std::span<const PayloadId> payloadIds();
const PayloadId& payloadId(Payload payload);
// The payload stored under type and name (the override files are named so);
// nothing for a pair the program does not carry.
std::optional<Payload> payloadNamed(const QString& type, const QString& name);

// Where a payload's override file would lie: programFolder/payloads/TYPE/NAME.
QString payloadOverridePath(Payload payload, const QString& programFolder);

// The payload's bytes: the override file when it exists and can be read,
// else the built-in bytes. An empty programFolder means no override. An
// override file alone does not make a payload.
std::optional<QByteArray> payloadBytes(Payload payload, const QString& programFolder);

// Whether a file in the program folder is there to take the place of the
// payload's built-in bytes (see payloadBytes), whether or not it can be read.
bool payloadOverridden(Payload payload, const QString& programFolder);

// Whether the payload is a program to run (EXTPROGS): written executable.
bool payloadIsProgram(Payload payload);

} // namespace kastra
