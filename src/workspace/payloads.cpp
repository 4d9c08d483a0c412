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

constexpr std::array<PayloadId, 30> kPayloads = {{
    {Payload::Bmconv, "EXTPROGS", "BMC"},
    {Payload::Makesis, "EXTPROGS", "SIS"},
    {Payload::Avkon, "PKG", "AVKON"},
    {Payload::AvkonEx, "PKG", "AVKONEX"},
    {Payload::MenuFolders, "PKG", "MENUF"},
    {Payload::SplashTop, "PKG", "SPLT"},
    {Payload::NoImage, "PKG", "NIMG"},
    {Payload::About, "PKG", "ABOUT"},
    {Payload::AvkonPackList, "PKG", "AVCOM"},
    {Payload::DeleteFonts, "PKG", "DEL_F"},
    {Payload::DeleteLogo, "PKG", "DEL_L"},
    {Payload::Restore, "PKG", "RES"},
    {Payload::RestoreAvkon, "PKG", "RES_AV"},
    {Payload::Font, "PKG", "FONT"},
    {Payload::AppAif, "PKG", "APPAIF"},
    {Payload::AppApp, "PKG", "APPAPP"},
    {Payload::AppR1, "PKG", "APPR1"},
    {Payload::AppR3, "PKG", "APPR3"},
    {Payload::AppR16, "PKG", "APPR16"},
    {Payload::AppCaptionR1, "PKG", "APPCR1"},
    {Payload::AppCaptionR3, "PKG", "APPCR3"},
    {Payload::AppCaptionR16, "PKG", "APPCR16"},
    {Payload::MenuAif, "PKG", "MENAIF"},
    {Payload::MenuApp, "PKG", "MENAPP"},
    {Payload::MenuR1, "PKG", "MENR1"},
    {Payload::MenuR3, "PKG", "MENR3"},
    {Payload::MenuR16, "PKG", "MENR16"},
    {Payload::MenuCaptionR1, "PKG", "MENCR1"},
    {Payload::MenuCaptionR3, "PKG", "MENCR3"},
    {Payload::MenuCaptionR16, "PKG", "MENCR16"},
}};

// The table is indexed by the enum: each row sits at its payload's number.
constexpr bool tableInOrder()
{
    for (std::size_t i = 0; i < kPayloads.size(); ++i)
        if (static_cast<std::size_t>(kPayloads[i].payload) != i)
            return false;
    return true;
}
static_assert(tableInOrder());

// An override may replace a tool of several megabytes; anything far larger
// is not a payload.
constexpr qint64 KMaxOverrideBytes = 64 * 1024 * 1024;

} // namespace

std::span<const PayloadId> payloadIds()
{
    return kPayloads;
}

const PayloadId& payloadId(Payload payload)
{
    return kPayloads[static_cast<std::size_t>(payload)];
}

std::optional<Payload> payloadNamed(const QString& type, const QString& name)
{
    for (const PayloadId& id : kPayloads)
        if (type == QLatin1String(id.type) && name == QLatin1String(id.name))
            return id.payload;
    return std::nullopt;
}

bool payloadIsProgram(Payload payload)
{
    return qstrcmp(payloadId(payload).type, "EXTPROGS") == 0;
}

QString payloadOverridePath(Payload payload, const QString& programFolder)
{
    const PayloadId& id = payloadId(payload);
    return QDir(programFolder).filePath(QStringLiteral("payloads/") + QLatin1String(id.type) + QLatin1Char('/')
                                        + QLatin1String(id.name));
}

std::optional<QByteArray> payloadBytes(Payload payload, const QString& programFolder)
{
    // Without a program folder there is no override: a relative path would
    // be looked up in whatever the current folder is.
    if (!programFolder.isEmpty()) {
        QFile override(payloadOverridePath(payload, programFolder));
        if (override.exists() && override.size() <= KMaxOverrideBytes && override.open(QIODevice::ReadOnly)) {
            QByteArray bytes = override.readAll();
            if (override.error() == QFileDevice::NoError)
                return bytes;
        }
    }
    static std::once_flag once;
    std::call_once(once, initPayloadResources);
    const PayloadId& id = payloadId(payload);
    QFile builtIn(QStringLiteral(":/payloads/") + QLatin1String(id.type) + QLatin1Char('/') + QLatin1String(id.name));
    if (!builtIn.open(QIODevice::ReadOnly))
        return std::nullopt;
    return builtIn.readAll();
}

bool payloadOverridden(Payload payload, const QString& programFolder)
{
    return !programFolder.isEmpty() && QFileInfo::exists(payloadOverridePath(payload, programFolder));
}

} // namespace kastra
