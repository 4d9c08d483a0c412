#pragma once
// The Windows I/O error numbers the fatal error box names, from the errno of
// a failed call, so that "Runtime error N" reads the same on every platform.

namespace kastra {

// 2 file not found, 3 path not found, 4 too many open files, 5 access
// denied, 32 sharing violation, 101 disk full or write failure. Anything
// else counts as a write failure (101), the most likely cause of a failure
// the program cannot name. 0 (no error recorded) also gives 101.
int WindowsIoError(int errnoValue);

} // namespace kastra
