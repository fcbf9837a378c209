#pragma once
// Fatal conditions travel as one exception type and are caught once, in mainInit.

namespace kolvar {

enum class FatalCode { OutOfMemory = 1, EndOfFile = 2, FailToPrint = 3, FailToOpen = 4 };

struct FatalError {
    FatalCode code;
};

/// Called by the array helpers when an allocation fails: prints the out-of-memory
/// lines, waits for the end of a console line, then throws FatalError{OutOfMemory}.
/// The shell installs a handler bound to its console; without one it only throws.
using OutOfMemoryHandler = void (*)();
void SetOutOfMemoryHandler(OutOfMemoryHandler handler);
[[noreturn]] void OutOfMemory();

}  // namespace kolvar
