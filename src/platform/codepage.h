#pragma once
// Windows-1251 text as the program's files carry it, to and from QString.

#include <QByteArray>
#include <QString>

namespace kastra {

QString fromCp1251(const QByteArray& bytes);
// Characters the code page lacks become '?'.
QByteArray toCp1251(const QString& text);
// Whether the code page has a byte for the character (a surrogate, one half
// of a character beyond U+FFFF, never has).
bool inCp1251(QChar c);

} // namespace kastra
