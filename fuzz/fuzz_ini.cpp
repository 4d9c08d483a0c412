// Any bytes must read as a settings file: every lookup gives a value within
// the length limit, the file as saved reads back as itself, and writing one
// key gives that key its new value while every other key keeps its own, in
// memory and after a save and a fresh read.
#include "platform/codepage.h"
#include "platform/ini.h"

#include <cstddef>
#include <cstdint>
#include <vector>

#include <QString>
#include <QStringList>

namespace {

using kastra::IniFile;

// Pieces of the input between the characters that give an INI line its
// shape: the likely section names, keys and values of this input. Every
// check below reads every pair of them, so they are kept few to keep each
// run quick.
constexpr qsizetype kMaxWords = 6;
QStringList words(const QString& text)
{
    QStringList out;
    QString current;
    for (const QChar c : text) {
        if (c == u'[' || c == u']' || c == u'=' || c == u';' || c == u'\r' || c == u'\n') {
            if (!current.trimmed().isEmpty() && !out.contains(current))
                out.append(current);
            current.clear();
            if (out.size() == kMaxWords)
                break;
        } else {
            current += c;
        }
    }
    if (out.size() < kMaxWords && !current.trimmed().isEmpty() && !out.contains(current))
        out.append(current);
    out.append(QStringLiteral("General"));
    return out;
}

// A name the program could use for a section or a key: written as a line it
// reads back as that name, not as a header, a comment or another key.
bool isPlainName(const QString& name)
{
    if (name.trimmed().isEmpty() || name.trimmed() != name || name.startsWith(u';'))
        return false;
    for (const QChar c : name)
        if (c == u'[' || c == u']' || c == u'=' || c == u'\r' || c == u'\n')
            return false;
    return true;
}

// What readString gives for a value written by writeString.
QString readBack(const QString& value)
{
    QString v = value.trimmed();
    if (v.size() >= 2 && (v.front() == u'"' || v.front() == u'\'') && v.back() == v.front())
        v = v.mid(1, v.size() - 2);
    return v.left(IniFile::MaxValueLength);
}

struct Snapshot {
    std::vector<QString> values;
};

Snapshot readAll(const IniFile& ini, const QStringList& names)
{
    Snapshot s;
    for (const QString& section : names)
        for (const QString& key : names) {
            const QString v = ini.readString(section, key, QStringLiteral("\x01missing"));
            if (v.size() > IniFile::MaxValueLength)
                __builtin_trap();
            s.values.push_back(v);
        }
    return s;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QString path = QStringLiteral("fuzz.ini");
    const IniFile ini(path, kastra::ByteSpan(data, size));
    const QByteArray raw(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const QStringList names = words(kastra::fromCp1251(raw));

    // Saving once settles the line ends; after that the file is a fixed point.
    const kastra::Bytes saved = ini.bytes();
    const IniFile reread(path, saved);
    if (reread.bytes() != saved)
        __builtin_trap();
    const Snapshot before = readAll(ini, names);
    for (const QString& section : names)
        for (const QString& key : names)
            if (ini.readInt(section, key, 5) < 0)
                __builtin_trap();
    if (readAll(reread, names).values != before.values)
        __builtin_trap();

    // Write a few plain section/key pairs in turn with values from the input.
    const qsizetype n = names.size();
    int writes = 0;
    for (qsizetype si = 0; si < n && writes < 3; ++si) {
        const QString& section = names[si];
        if (!isPlainName(section))
            continue;
        const qsizetype ki = (si + 1) % n;
        const QString& key = names[ki];
        if (!isPlainName(key))
            continue;
        const QString& value = names[(si + 2) % n];
        if (value.contains(u'\r') || value.contains(u'\n'))
            continue;

        ++writes;
        IniFile changed(path, saved);
        changed.writeString(section, key, value);
        const IniFile afterSave(path, changed.bytes());
        const IniFile* const files[] = {&changed, &afterSave};
        for (const IniFile* f : files) {
            if (f->readString(section, key) != readBack(value))
                __builtin_trap();
            const Snapshot now = readAll(*f, names);
            std::size_t i = 0;
            for (const QString& s : names)
                for (const QString& k : names) {
                    const bool same = s.trimmed().compare(section, Qt::CaseInsensitive) == 0
                                      && k.trimmed().compare(key, Qt::CaseInsensitive) == 0;
                    if (!same && now.values[i] != before.values[i])
                        __builtin_trap();
                    ++i;
                }
        }
    }
    return 0;
}
