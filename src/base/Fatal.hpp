#pragma once
// Fatal conditions travel as one exception type and are caught once, in mainInit.

namespace kolvar {

/// EndOfFile, FailToPrint and FailToOpen print their message in mainInit; after
/// OutOfMemory and Stop the detecting code has said what went wrong, and the
/// program ends with status 1.
enum class FatalCode { OutOfMemory = 1, EndOfFile = 2, FailToPrint = 3, FailToOpen = 4, Stop = 5 };

struct FatalError {
    FatalCode code;
};

/// Called by the array helpers when an allocation fails: prints the out-of-memory
/// lines, waits for the end of a console line, then throws FatalError{OutOfMemory}.
/// The program installs a handler bound to its console; without one it only throws.
using OutOfMemoryHandler = void (*)();
void SetOutOfMemoryHandler(OutOfMemoryHandler handler);
[[noreturn]] void OutOfMemory();

}  // namespace kolvar
