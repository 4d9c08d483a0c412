#pragma once
// INI files with the semantics of Windows' private-profile functions:
// sections and keys are matched without regard to letter case, the first
// match wins, writing a key replaces that one line in place and keeps every
// other line and comment, new keys go to the end of their section and new
// sections to the end of the file, and a value is read into 2047 characters
// at most. The file is Windows-1251 on disk with CR LF line ends.

#include "result.h"

#include <QString>
#include <QStringList>

namespace kastra {

class IniFile {
public:
    static constexpr int MaxValueLength = 2047;

    // A missing or unreadable file is an empty one.
    explicit IniFile(QString path);

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

    // Replaces the file atomically.
    Result<void> save() const;

private:
    struct Found {
        qsizetype sectionLine = -1;   // line of the [section] header
        qsizetype keyLine = -1;       // line of key=value, or -1
        qsizetype lastEntry = -1;     // last non-blank line of the section
    };
    Found find(const QString& section, const QString& key) const;

    QString m_path;
    QStringList m_lines;
};

// One-call forms, like the Windows functions: each reads the file anew, and a
// write saves it at once.
QString ReadIniString(const QString& path, const QString& section, const QString& key, const QString& def = {});
int ReadIniInt(const QString& path, const QString& section, const QString& key, int def);
bool WriteIniString(const QString& path, const QString& section, const QString& key, const QString& value);

} // namespace kastra
