#pragma once
// Scanners (any stream, a label naming the source in messages) and the prompt
// readers of the console. Bad answers are rejected with two lines and the bell
// and read again; end of input is fatal (FatalCode::EndOfFile).

#include <cstddef>
#include <fstream>
#include <istream>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/Console.hpp"

namespace kolvar {

// ---- token readers with the C library's scanf rules ---------------------------
/// "%lf": skips white space, takes the longest prefix of a decimal number.
/// Returns false when nothing converts (the characters taken are lost, as with
/// scanf) or at end of input. Infinities, NaN and hexadecimal forms are not numbers here.
bool ScanDoubleToken(std::istream& fp, double& value);
/// "%d": like ScanDoubleToken for an optionally signed decimal integer; a value
/// outside the int range does not convert.
bool ScanIntToken(std::istream& fp, int& value);
/// "%s" / "%Ns": skips white space and takes a blank-free word of at most
/// maxChars characters (the rest of the word stays unread). False at end of input.
bool ScanWordToken(std::istream& fp, std::string& word, std::size_t maxChars = std::string::npos);

// ---- scanners ------------------------------------------------------------------
/// Opens directory + name in a C mode ("r", "w", "a", "r+"). On failure prints
/// "\ncan't open %s \n" to the error stream, rings the bell on the output and
/// returns null; never fatal. A folder is never opened as a file.
std::unique_ptr<std::fstream> fopenck(Console& con, const std::string& name, const std::string& directory,
                                      const char* mode);

/// Strict reads: anything but the expected item, or end of input, prints
/// "\nfile %s " with the label, rings the bell and throws EndOfFile.
void freadck(Console& con, std::istream& fp, double& value, const std::string& label);
void freadck(Console& con, std::istream& fp, int& value, const std::string& label);
void freadck(Console& con, std::istream& fp, std::string& word, const std::string& label,
             std::size_t maxChars = std::string::npos);
/// Junk-skipping reads: characters that do not convert are dropped one by one.
/// At end of input prints "\nEnd of file %s\n", rings the bell, returns false.
bool freadck1(Console& con, std::istream& fp, double& value, const std::string& label);
bool freadck1(Console& con, std::istream& fp, std::string& word, const std::string& label);

/// Next accepted letter, lower case. accepted: letters separated by blanks
/// ("y n"); empty: the first non-blank character.
char ScanChar(Console& con, std::istream& fp, std::string_view accepted, const std::string& label);
/// accepted null: one strict read. "": any number. "1 2 3": listed values.
/// "-": from lowest to highest inclusive. Rejections are re-read.
double ScanNumber(Console& con, std::istream& fp, const std::string& label, const char* accepted,
                  double lowest = 0.0, double highest = 0.0);
/// One blank-free word, at most maxLen characters kept. False at end of input.
bool ScanString(Console& con, std::istream& fp, std::size_t maxLen, std::string& dest, const std::string& label);
/// One field of a line: blanks kept, a tab, end of line or carriage return ends it.
void freadlineck(Console& con, std::istream& fp, std::size_t maxLen, std::string& dest, const std::string& label);
/// The rest of a line, tabs stored as blanks.
void freadlineck_Space(Console& con, std::istream& fp, std::size_t maxLen, std::string& dest,
                       const std::string& label);
/// Asks "Enter data file name: " until the named file opens for reading.
std::unique_ptr<std::fstream> ReadDataFileName(Console& con, std::string& name);

void StrToUpper(std::string& text);
/// Case-insensitive comparison, result as strcmp.
int StrCmp(std::string_view a, std::string_view b);

// ---- prompt readers (the console, label "input") -------------------------------
char ReadCharIn(Console& con, std::string_view accepted);
/// Reads a double as ScanNumber does; the echo in macro mode follows format.
double ReadNumberIn(Console& con, const char* format, const char* accepted, double lowest = 0.0,
                    double highest = 0.0);
/// ReadNumberIn for an int answer: values beyond the int range are rejected as
/// out of range instead of wrapping; the result is truncated toward zero.
int ReadIntIn(Console& con, const char* format, const char* accepted, double lowest = 0.0, double highest = 0.0);
/// The scan format is format up to its first blank or newline ("%s", "%4s").
void ReadStringIn(Console& con, const char* format, std::string& dest);
/// n labels of at most maxLen characters, from a file or the keyboard, confirmed.
int ReadLongInput(Console& con, int n, std::size_t maxLen, std::vector<std::string>& labels, const char* what);
/// n integers checked against accepted; -1 (no accepted text) restarts the entry.
int ReadLongInput(Console& con, int n, std::vector<int>& values, const char* what, const char* accepted);

/// Truncates toward zero, clamped to the int range (NaN gives 0).
int TruncToInt(double v);

}  // namespace kolvar
