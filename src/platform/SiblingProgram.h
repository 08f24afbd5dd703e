#pragma once

// Starting a program that is installed in the same folder as the running one, for command-line tools that answer
// their usage themselves and leave the real work to a larger program beside them. Uses neither Qt nor any other
// library, so that such a tool loads only the C and C++ runtimes (and whatever else it links itself).
namespace SiblingProgram {

// Replaces this process with `program`, found in the folder of this process's executable, passing `argv`
// unchanged (argv[0] included). Returns only when it cannot be started: it then prints
// "<caller>: cannot start <path>: <reason>" on standard error and returns 1.
int exec(const char* program, char** argv, const char* caller);

} // namespace SiblingProgram
