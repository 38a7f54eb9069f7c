#pragma once
// What the program removes of itself when it ends normally: the files it ships, by name, and then
// its folder if nothing else is left in it. Users start tools like this from Downloads or the
// desktop, where their own files lie beside it. Pure, so it is tested natively.
#include <string>

// The parameters of the hidden command interpreter that waits three seconds (the program has
// ended by then), deletes programFile and the other shipped files in folder, and removes folder
// only if it is then empty. folder has no trailing backslash. Empty when the folder cannot be
// named safely on a command line: a drive root (its "current folder" would be meant) or a path
// with '%', which the interpreter expands even inside quotes.
std::wstring SelfRemovalParameters(const std::wstring &folder, const std::wstring &programFile);
