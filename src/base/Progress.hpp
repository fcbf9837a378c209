#pragma once
// Progress of long loops. The loops only say how far they are; the program's
// top layer decides where the line goes (the console's progress line, with
// its own throttling) and tests can count the calls.

#include <functional>

namespace kolvar {

/// Receives a progress message such as "Permutation test: 12 of 999". An empty
/// function means nobody listens. Called from one thread at a time.
using ProgressFn = std::function<void(const char* message)>;

/// Calls `progress` when somebody listens.
inline void ReportProgress(const ProgressFn& progress, const char* message) {
    if (progress) progress(message);
}

}  // namespace kolvar
