#include "platform/ini.h"

#include "platform/codepage.h"
#include "base/fileio.h"

#include <filesystem>
#include <system_error>

namespace kastra {

namespace {

bool sameName(QStringView a, QStringView b)
{
    return a.trimmed().compare(b.trimmed(), Qt::CaseInsensitive) == 0;
}

// "[name]" with blanks around; returns the name or a null view.
QStringView sectionName(QStringView line)
{
    line = line.trimmed();
    if (line.size() < 2 || line.front() != u'[')
        return {};
    const qsizetype close = line.indexOf(u']');
    if (close < 0)
        return {};
    return line.mid(1, close - 1).trimmed();
}

} // namespace

IniFile::IniFile(QString path) : m_path(std::move(path))
{
    const std::filesystem::path file = m_path.toStdString();
    std::error_code ec;
    if (!std::filesystem::exists(file, ec))
        return;
    auto bytes = readFile(file, MaxFileBytes);
    if (!bytes) {
        m_readError = bytes.error();
        return;
    }
    parse(*bytes);
}

IniFile::IniFile(QString path, ByteSpan contents) : m_path(std::move(path))
{
    parse(contents);
}

void IniFile::parse(ByteSpan contents)
{
    if (contents.empty())
        return;
    const QByteArray raw(reinterpret_cast<const char*>(contents.data()), static_cast<qsizetype>(contents.size()));
    QString text = fromCp1251(raw);
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(u'\r', u'\n');
    m_lines = text.split(u'\n');
    if (!m_lines.isEmpty() && m_lines.last().isEmpty())
        m_lines.removeLast();
}

IniFile::Found IniFile::find(const QString& section, const QString& key) const
{
    Found f;
    for (qsizetype i = 0; i < m_lines.size(); ++i) {
        const QStringView line = m_lines[i];
        const QStringView name = sectionName(line);
        if (!name.isNull()) {
            if (f.sectionLine >= 0)
                break;   // the next section begins: ours has ended
            if (sameName(name, section)) {
                f.sectionLine = i;
                f.lastEntry = i;
            }
            continue;
        }
        if (f.sectionLine < 0)
            continue;
        const QStringView trimmed = line.trimmed();
        if (trimmed.isEmpty())
            continue;
        f.lastEntry = i;
        if (trimmed.startsWith(u';'))
            continue;
        const qsizetype eq = line.indexOf(u'=');
        if (eq < 0)
            continue;
        if (f.keyLine < 0 && sameName(line.left(eq), key))
            f.keyLine = i;
    }
    return f;
}

QString IniFile::readString(const QString& section, const QString& key, const QString& def) const
{
    const Found f = find(section, key);
    if (f.keyLine < 0)
        return def.left(MaxValueLength);
    const QString& line = m_lines[f.keyLine];
    QString value = line.mid(line.indexOf(u'=') + 1).trimmed();
    if (value.size() >= 2 && (value.front() == u'"' || value.front() == u'\'') && value.back() == value.front())
        value = value.mid(1, value.size() - 2);
    return value.left(MaxValueLength);
}

int IniFile::readInt(const QString& section, const QString& key, int def) const
{
    if (find(section, key).keyLine < 0)
        return def;
    const QString value = readString(section, key);
    qsizetype i = 0;
    bool negative = false;
    if (i < value.size() && (value[i] == u'-' || value[i] == u'+')) {
        negative = value[i] == u'-';
        ++i;
    }
    long long n = 0;
    for (; i < value.size() && value[i].isDigit() && value[i].unicode() < 128; ++i) {
        n = n * 10 + (value[i].unicode() - u'0');
        if (n > 0x7FFFFFFF)
            n = 0x7FFFFFFF;
    }
    return negative ? 0 : static_cast<int>(n);
}

void IniFile::writeString(const QString& section, const QString& key, const QString& value)
{
    const QString entry = key + u'=' + value;
    const Found f = find(section, key);
    if (f.keyLine >= 0)
        m_lines[f.keyLine] = entry;
    else if (f.sectionLine >= 0)
        m_lines.insert(f.lastEntry + 1, entry);
    else {
        m_lines.append(u'[' + section + u']');
        m_lines.append(entry);
    }
}

Bytes IniFile::bytes() const
{
    QString text;
    for (const QString& line : m_lines)
        text += line + QStringLiteral("\r\n");
    const QByteArray raw = toCp1251(text);
    return Bytes(raw.begin(), raw.end());
}

Result<void> IniFile::save() const
{
    // We never saw what is in the file, so writing ours would lose it.
    if (!m_readError.empty())
        return fail(m_readError + "; not replaced");
    return writeFileAtomic(m_path.toStdString(), bytes());
}

QString ReadIniString(const QString& path, const QString& section, const QString& key, const QString& def)
{
    return IniFile(path).readString(section, key, def);
}

int ReadIniInt(const QString& path, const QString& section, const QString& key, int def)
{
    return IniFile(path).readInt(section, key, def);
}

bool WriteIniString(const QString& path, const QString& section, const QString& key, const QString& value)
{
    IniFile ini(path);
    ini.writeString(section, key, value);
    return ini.save().ok();
}

} // namespace kastra
