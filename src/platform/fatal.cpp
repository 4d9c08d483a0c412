#include "platform/fatal.h"

#include <cstdio>
#include <cstdlib>

namespace kastra {

namespace {

std::function<void(const QString&, const QString&)>& presenter()
{
    static std::function<void(const QString&, const QString&)> p;
    return p;
}

int g_cause = 0;

} // namespace

QString RuntimeErrorText(int ioError, quintptr address)
{
    const QString hex = QString::number(static_cast<qulonglong>(address & 0xFFFFFFFFu), 16).toUpper();
    return QStringLiteral("Runtime error %1 at %2").arg(ioError).arg(hex.rightJustified(8, u'0'));
}

void SetFatalErrorPresenter(std::function<void(const QString&, const QString&)> p)
{
    presenter() = std::move(p);
}

int FatalErrorCause()
{
    return g_cause;
}

void FatalIoError(int ioError, int cause)
{
    g_cause = cause;
    const auto address = reinterpret_cast<quintptr>(__builtin_return_address(0));
    const QString title = QStringLiteral("Error");
    const QString text = RuntimeErrorText(ioError, address);
    // The window installs its message box; without one (the command line,
    // the tests) the text goes to standard error.
    if (presenter())
        presenter()(title, text);
    else
        std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
    std::_Exit(ioError > 0 && ioError < 256 ? ioError : 1);
}

} // namespace kastra
