#pragma once
// The console streams and the small helpers every long computation uses:
// the progress line, line clearing, time stamps and the wall-clock timer.

#include <ctime>
#include <istream>
#include <ostream>
#include <string>

namespace kolvar {

/// Time sources, replaceable in tests so that output is reproducible.
class Clock {
public:
    virtual ~Clock() = default;
    /// Processor-time ticks of the progress line (hundredths of a second).
    virtual long Ticks() const = 0;
    /// Calendar time, for time stamps and seeds.
    virtual std::time_t Now() const = 0;
    /// Wall-clock seconds since an arbitrary origin.
    virtual double WallSeconds() const = 0;
};

class SystemClock final : public Clock {
public:
    long Ticks() const override;
    std::time_t Now() const override;
    double WallSeconds() const override;
};

/// A clock that never moves: no progress lines, a fixed time stamp.
class FixedClock final : public Clock {
public:
    explicit FixedClock(std::time_t now = 0) : now_(now) {}
    long Ticks() const override { return 0; }
    std::time_t Now() const override { return now_; }
    double WallSeconds() const override { return 0.0; }

private:
    std::time_t now_;
};

/// All dialogue goes through one Console: answers from `in`, menus and prompts
/// to `out`, rejections and fatal messages to `err`. In macro mode accepted
/// answers are echoed to `outm`.
struct Console {
    std::istream& in;
    std::ostream& out;
    std::ostream& err;
    std::ostream* outm = nullptr;
    bool runMacro = false;
    bool createMacro = false;

    // Progress-line state.
    bool is40CharLine = false;
    bool is80CharLine = false;
    long t1 = 0;
    long t2 = 0;
    std::time_t timeStart = 0;
    const Clock* clock = nullptr;

    bool macroMode() const { return runMacro || createMacro; }
};

inline const std::string lineL(70, '-');
inline const std::string version =
    "CHARACTER-BASED COMMUNITY ANALYSIS" + std::string(20, ' ') + "KOLVAR v.2.11.75";

/// Clears the progress-line flags and starts the clocks.
void InitIFLibG(Console& con, const Clock& clock);
/// Ends an open progress line (one newline per open flag).
void ClearLine(Console& con);
/// Prints one newline, whatever the length.
void ClearLineLength(Console& con, int length);
/// Progress line: the message right-aligned in 40 columns, at most every 5 ticks.
void HandleEventInfoWhere2(Console& con, const char* message);
/// Entry marker; does nothing.
inline void HandleEventInfoWhere(const char*) {}
/// Writes the current local date and time in the 24-character ctime form plus a newline.
void TimeStamp(std::ostream& fp, const Clock& clock);
double difftime_Clock_Init(const Clock& clock);
double difftime_Clock(const Clock& clock, double t0);
inline int GetNumberActiveProcessors() { return 1; }
/// Discards console characters up to the end of the line (left unread); returns at end of input.
void Wait(Console& con);

}  // namespace kolvar
