#include "workspace/payloads.h"

#include "base/fileio.h"
#include "base/safe_file.h"
#include "platform/fileops.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <array>
#include <filesystem>
#include <mutex>

// Qt's resource initialisation must be called from the global namespace.
// The payload data live in this static library; without the call the linker
// would drop them from the program, since nothing else refers to them.
static void initPayloadResources()
{
    Q_INIT_RESOURCE(kastra_payloads);
}

namespace kastra {

namespace {

// The order of the program's payload table.
constexpr std::array<PayloadId, 30> kPayloads = {{
    {"EXTPROGS", "BMC"}, {"EXTPROGS", "SIS"}, {"PKG", "AVKON"},  {"PKG", "AVKONEX"}, {"PKG", "MENUF"},
    {"PKG", "SPLT"},     {"PKG", "NIMG"},     {"PKG", "ABOUT"},  {"PKG", "AVCOM"},   {"PKG", "DEL_F"},
    {"PKG", "DEL_L"},    {"PKG", "RES"},      {"PKG", "RES_AV"}, {"PKG", "FONT"},    {"PKG", "APPAIF"},
    {"PKG", "APPAPP"},   {"PKG", "APPR1"},    {"PKG", "APPR3"},  {"PKG", "APPR16"},  {"PKG", "APPCR1"},
    {"PKG", "APPCR3"},   {"PKG", "APPCR16"},  {"PKG", "MENAIF"}, {"PKG", "MENAPP"},  {"PKG", "MENR1"},
    {"PKG", "MENR3"},    {"PKG", "MENR16"},   {"PKG", "MENCR1"}, {"PKG", "MENCR3"},  {"PKG", "MENCR16"},
}};

// An override may replace a tool of several megabytes; anything far larger
// is not a payload.
constexpr qint64 KMaxOverrideBytes = 64 * 1024 * 1024;

bool known(const QString& type, const QString& name)
{
    for (const PayloadId& id : kPayloads)
        if (type == QLatin1String(id.type) && name == QLatin1String(id.name))
            return true;
    return false;
}

} // namespace

std::span<const PayloadId> payloadIds()
{
    return kPayloads;
}

QString payloadOverridePath(const QString& type, const QString& name, const QString& programFolder)
{
    return QDir(programFolder).filePath(QStringLiteral("payloads/") + type + QLatin1Char('/') + name);
}

std::optional<QByteArray> payloadBytes(const QString& type, const QString& name, const QString& programFolder)
{
    if (!known(type, name))
        return std::nullopt;
    // Without a program folder there is no override: a relative path would
    // be looked up in whatever the current folder is (the workspace root,
    // while the converter runs).
    if (!programFolder.isEmpty()) {
        QFile override(payloadOverridePath(type, name, programFolder));
        if (override.exists() && override.size() <= KMaxOverrideBytes && override.open(QIODevice::ReadOnly)) {
            QByteArray bytes = override.readAll();
            if (override.error() == QFileDevice::NoError)
                return bytes;
        }
    }
    static std::once_flag once;
    std::call_once(once, initPayloadResources);
    QFile builtIn(QStringLiteral(":/payloads/") + type + QLatin1Char('/') + name);
    if (!builtIn.open(QIODevice::ReadOnly))
        return std::nullopt;
    return builtIn.readAll();
}

bool payloadOverridden(const QString& type, const QString& name, const QString& programFolder)
{
    return !programFolder.isEmpty() && QFileInfo::exists(payloadOverridePath(type, name, programFolder));
}

bool WritePayload(const QString& type, const QString& name, const QString& targetPath, const QString& programFolder)
{
    const std::optional<QByteArray> bytes = payloadBytes(type, name, programFolder);
    if (!bytes)
        return false;
    const std::filesystem::path target(targetPath.toStdU16String());
    const ByteSpan span = byteSpan(*bytes);
    // The converter is written before every load and pack: comparing its
    // bytes costs far less than replacing it (a rename over an existing file
    // has ext4 write the new one out first).
    if (holdsExactly(target, span, type == QLatin1String("EXTPROGS")))
        return true;
    if (!writeFileAtomic(target, span).ok())
        return false;
    if (type == QLatin1String("EXTPROGS")) {
        QFile file(targetPath);
        file.setPermissions(file.permissions() | QFileDevice::ExeOwner | QFileDevice::ExeUser | QFileDevice::ExeGroup
                            | QFileDevice::ExeOther);
    }
    return true;
}

} // namespace kastra
