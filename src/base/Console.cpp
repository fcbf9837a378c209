#include "base/Console.hpp"

#include <omp.h>

#include <cctype>
#include <cstdio>
#include <ctime>

#include "base/Fmt.hpp"

namespace kolvar {

long SystemClock::Ticks() const {
    return static_cast<long>(static_cast<double>(std::clock()) * 100.0 / CLOCKS_PER_SEC);
}
std::time_t SystemClock::Now() const { return std::time(nullptr); }
double SystemClock::WallSeconds() const { return omp_get_wtime(); }

void InitIFLibG(Console& con, const Clock& clock) {
    con.clock = &clock;
    con.is40CharLine = false;
    con.is80CharLine = false;
    con.t1 = con.t2 = clock.Ticks();
    con.timeStart = clock.Now();
}

void ClearLine(Console& con) {
    if (con.is40CharLine) {
        con.out << '\n';
        con.is40CharLine = false;
    }
    if (con.is80CharLine) {
        con.out << '\n';
        con.is80CharLine = false;
    }
}

void ClearLineLength(Console& con, int) { con.out << '\n'; }

void HandleEventInfoWhere2(Console& con, const char* message) {
    if (!con.clock) return;
    const long now = con.clock->Ticks();
    if (now - con.t2 < 5) return;
    if (con.is40CharLine) con.out << '\n';
    con.out << Fmt("%*.*s", 40, 40, message) << Fmt("%40s", " ");
    con.t2 = now;
    con.is80CharLine = true;
    con.is40CharLine = true;
    con.out.flush();
}

void TimeStamp(std::ostream& fp, const Clock& clock) {
    const std::time_t t = clock.Now();
    std::tm tmv{};
    localtime_r(&t, &tmv);
    char buf[64];
    // The ctime form: "Www Mmm dd hh:mm:ss yyyy\n".
    if (std::strftime(buf, sizeof buf, "%a %b %e %H:%M:%S %Y\n", &tmv) == 0) buf[0] = '\0';
    fp << buf;
}

double difftime_Clock_Init(const Clock& clock) { return clock.WallSeconds(); }
double difftime_Clock(const Clock& clock, double t0) { return clock.WallSeconds() - t0; }

void Wait(Console& con) {
    for (;;) {
        const int c = con.in.peek();
        if (c == std::char_traits<char>::eof()) {
            con.in.clear();
            return;
        }
        if (std::iscntrl(static_cast<unsigned char>(c))) return;
        con.in.get();
    }
}

}  // namespace kolvar
