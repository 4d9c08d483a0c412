#pragma once
// Windows-1251 text as the program's files carry it, to and from QString.

#include <QByteArray>
#include <QString>

namespace kastra {

QString fromCp1251(const QByteArray& bytes);
// Characters the code page lacks become '?'.
QByteArray toCp1251(const QString& text);

} // namespace kastra
