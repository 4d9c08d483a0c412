#include "platform/codepage.h"

#include "base/cp1251.h"

namespace kastra {

QString fromCp1251(const QByteArray& bytes)
{
    QString out;
    out.reserve(bytes.size());
    for (char c : bytes)
        out += QChar(static_cast<char16_t>(cp1251::toUnicode(static_cast<unsigned char>(c))));
    return out;
}

QByteArray toCp1251(const QString& text)
{
    QByteArray out;
    out.reserve(text.size());
    for (const QChar ch : text) {
        bool ok = false;
        const unsigned char b = cp1251::fromUnicode(ch.unicode(), ok);
        out += ok ? static_cast<char>(b) : '?';
    }
    return out;
}

bool inCp1251(QChar c)
{
    bool ok = false;
    cp1251::fromUnicode(c.unicode(), ok);
    return ok;
}

} // namespace kastra
