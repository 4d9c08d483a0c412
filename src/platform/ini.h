#pragma once
// INI files with the semantics of Windows' private-profile functions:
// sections and keys are matched without regard to letter case, the first
// match wins, writing a key replaces that one line in place and keeps every
// other line and comment, new keys go to the end of their section and new
// sections to the end of the file, and a value is read into 2047 characters
// at most. The file is Windows-1251 on disk with CR LF line ends.

#include "base/bytes.h"
#include "base/result.h"

#include <cstdint>
#include <string>

#include <QString>
#include <QStringList>

namespace kastra {

class IniFile {
public:
    static constexpr int MaxValueLength = 2047;

    // A missing file is an empty one. A file that exists but cannot be read
    // (too large, not readable, a folder) also reads as empty, but save()
    // then refuses to replace it, so what the user had is never lost.
    explicit IniFile(QString path);
    // The file at path as if it held contents; nothing is read from disk.
    IniFile(QString path, ByteSpan contents);

    // Settings files are tiny; anything larger is not one of ours.
    static constexpr std::uintmax_t MaxFileBytes = 16 * 1024 * 1024;

    const QString& path() const { return m_path; }
    bool isEmpty() const { return m_lines.isEmpty(); }

    // The value of section/key, or def when either is missing. Surrounding
    // blanks are dropped, as are matching quotes around the whole value.
    QString readString(const QString& section, const QString& key, const QString& def = {}) const;
    // The leading decimal number of the value (0 when there is none); def
    // when the key is missing; negative values read as 0.
    int readInt(const QString& section, const QString& key, int def) const;

    // Changes the file in memory; save() writes it.
    void writeString(const QString& section, const QString& key, const QString& value);
    void writeInt(const QString& section, const QString& key, int value)
    {
        writeString(section, key, QString::number(value));
    }

    // The file as save() writes it: Windows-1251, every line ended by CR LF.
    Bytes bytes() const;

    // Replaces the file atomically.
    Result<void> save() const;

private:
    struct Found {
        qsizetype sectionLine = -1;   // line of the [section] header
        qsizetype keyLine = -1;       // line of key=value, or -1
        qsizetype lastEntry = -1;     // last non-blank line of the section
    };
    Found find(const QString& section, const QString& key) const;
    void parse(ByteSpan contents);

    QString m_path;
    QStringList m_lines;
    std::string m_readError;   // why an existing file could not be read
};

// One-call forms, like the Windows functions: each reads the file anew, and a
// write saves it at once.
QString ReadIniString(const QString& path, const QString& section, const QString& key, const QString& def = {});
int ReadIniInt(const QString& path, const QString& section, const QString& key, int def);
bool WriteIniString(const QString& path, const QString& section, const QString& key, const QString& value);

} // namespace kastra
