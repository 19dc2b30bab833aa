#pragma once
// Everything kivo-cli prints: TAB-separated result lines on standard output,
// messages on standard error. Table texts carry Windows line breaks; a
// terminal or a log wants plain ones.
#include <string>
#include <vector>

namespace kivo::cli {

// "\r\n" becomes "\n".
std::string TerminalText(const std::string& text);

// A file name may hold a TAB or a line break; printed as they are, a name
// could forge fields or whole rows of a listing that a script acts on. They
// become the two characters \t, \n and \r; every other byte stays.
std::string RowField(const std::string& text);

// The fields (each through RowField) joined by one TAB, then a line break,
// on standard output.
void PrintRow(const std::vector<std::string>& fields);
void PrintLine(const std::string& line);

// A program message (a string-table text) on standard error; control
// characters other than line breaks and TABs are shown as '?'.
void PrintMessage(const std::string& text);
// kivo-cli's own complaint, prefixed with the program name.
void PrintError(const std::string& text);

}  // namespace kivo::cli
