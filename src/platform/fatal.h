#pragma once
// The one fatal error: an I/O failure the program cannot go on from (the
// workspace root cannot be entered, the converter's command file cannot be
// written). It shows "Runtime error N at ADDR" in a box titled "Error" and
// ends the process at once, without the shutdown steps.

#include <QString>

#include <functional>

namespace kastra {

// "Runtime error 103 at 0040A1B2": the error number and an address as eight
// upper-case hexadecimal digits.
QString RuntimeErrorText(int ioError, quintptr address);

// Shows the text through the presenter (the window's box) or, without one,
// prints it to standard error, and exits with the error number as the exit
// code. cause is the errno behind it, when the caller knows it.
[[noreturn]] void FatalIoError(int ioError, int cause = 0);

// The errno of the fatal error being shown (0 when its caller gave none),
// for a presenter that names the reason in words rather than the number.
int FatalErrorCause();

// Sets how the text is shown: the window installs its box, tests their own;
// an empty function restores printing to standard error.
void SetFatalErrorPresenter(std::function<void(const QString& title, const QString& text)> presenter);

} // namespace kastra
