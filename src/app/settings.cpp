#include "app/settings.h"

#include "platform/codepage.h"
#include "platform/ini.h"

#include <QFileInfo>
#include <QStandardPaths>

namespace kastra {

namespace {

const QString General = QStringLiteral("General");
const QString Other = QStringLiteral("Other");

QString key(const char* name, int n)
{
    return QString::fromLatin1(name) + QString::number(n);
}

bool storable(const QString& value)
{
    for (const QChar c : value) {
        if (c == u'\r' || c == u'\n' || c == QChar(0))
            return false;
    }
    // Whatever Windows-1251 cannot hold comes back as '?'.
    return fromCp1251(toCp1251(value)) == value;
}

} // namespace

QString FirstRunEditor()
{
#ifdef _WIN32
    return QStringLiteral("mspaint.exe");
#else
    for (const char* name : {"kolourpaint", "pinta", "gimp", "mtpaint", "krita"}) {
        const QString found = QStandardPaths::findExecutable(QString::fromLatin1(name));
        if (!found.isEmpty())
            return found;
    }
    const QString opener = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
    return opener.isEmpty() ? QStringLiteral("xdg-open") : opener;
#endif
}

Settings LoadSettings(const QString& iniPath)
{
    const QFileInfo info(iniPath);
    if (!info.exists() || info.size() == 0) {
        IniFile ini(iniPath);
        ini.writeString(General, QStringLiteral("Editor1"), FirstRunEditor());
        ini.writeString(General, QStringLiteral("Editor2"), QString());
        ini.writeString(General, QStringLiteral("Editor3"), QString());
        ini.writeInt(General, QStringLiteral("DefaultEditor"), 1);
        ini.writeString(General, QStringLiteral("Label1"), QStringLiteral("Paint"));
        ini.writeString(General, QStringLiteral("Label2"), QStringLiteral("Редактор №2"));
        ini.writeString(General, QStringLiteral("Label3"), QStringLiteral("Редактор №3"));
        ini.writeInt(Other, QStringLiteral("Top"), 0);
        ini.writeInt(Other, QStringLiteral("Bottom"), 1);
        (void)ini.save();   // a settings file that cannot be written is not reported
    }
    const IniFile ini(iniPath);
    Settings s;
    for (int n = 1; n <= 3; ++n) {
        s.editors[static_cast<std::size_t>(n - 1)] = ini.readString(General, key("Editor", n));
        s.labels[static_cast<std::size_t>(n - 1)] = ini.readString(General, key("Label", n));
    }
    s.defaultEditor = ini.readInt(General, QStringLiteral("DefaultEditor"), 0);
    s.top = ini.readInt(Other, QStringLiteral("Top"), 0) != 0;
    s.bottom = ini.readInt(Other, QStringLiteral("Bottom"), 1) != 0;
    s.separateEidPic = ini.readInt(Other, QStringLiteral("NCEiD"), 0) != 0;
    s.screenColours = ini.readInt(Other, QStringLiteral("ScreenColours"), 4096) == 65536 ? 65536 : 4096;
    return s;
}

QStringList UnstorableSettingsKeys(const Settings& s)
{
    QStringList keys;
    for (int n = 1; n <= 3; ++n) {
        if (!storable(s.editors[static_cast<std::size_t>(n - 1)]))
            keys << key("Editor", n);
    }
    for (int n = 1; n <= 3; ++n) {
        if (!storable(s.labels[static_cast<std::size_t>(n - 1)]))
            keys << key("Label", n);
    }
    return keys;
}

Result<QStringList> SaveSettings(const QString& iniPath, const Settings& s)
{
    // A key the file cannot hold keeps its old line; the others are stored,
    // so one odd path does not cost the rest of the settings.
    IniFile ini(iniPath);
    QStringList left;
    const auto text = [&](const QString& name, const QString& value) {
        if (storable(value))
            ini.writeString(General, name, value);
        else
            left << name;
    };
    for (int n = 1; n <= 3; ++n)
        text(key("Editor", n), s.editors[static_cast<std::size_t>(n - 1)]);
    for (int n = 1; n <= 3; ++n)
        text(key("Label", n), s.labels[static_cast<std::size_t>(n - 1)]);
    if (s.defaultEditor >= 1 && s.defaultEditor <= 3)
        ini.writeInt(General, QStringLiteral("DefaultEditor"), s.defaultEditor);
    ini.writeInt(Other, QStringLiteral("Top"), s.top ? 1 : 0);
    ini.writeInt(Other, QStringLiteral("Bottom"), s.bottom ? 1 : 0);
    ini.writeInt(Other, QStringLiteral("NCEiD"), s.separateEidPic ? 1 : 0);
    ini.writeInt(Other, QStringLiteral("ScreenColours"), s.screenColours == 65536 ? 65536 : 4096);
    if (auto saved = ini.save(); !saved)
        return fail(saved.error());
    return left;
}

std::array<QString, 3> ReadLabels(const QString& iniPath)
{
    const IniFile ini(iniPath);
    std::array<QString, 3> labels;
    for (int n = 1; n <= 3; ++n)
        labels[static_cast<std::size_t>(n - 1)] = ini.readString(General, key("Label", n));
    return labels;
}

} // namespace kastra
