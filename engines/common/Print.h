// What the engines print: bytes straight to the standard handles, unbuffered, since Quelvox
// reads them through a pipe as they come.
#pragma once

#include <string>

// Writes all of the bytes to standard output.
void Print(const std::string& bytes);
// Writes all of the bytes to standard error.
void PrintError(const std::string& bytes);
