#include "Print.h"

#include "File.h"

#include <windows.h>

void Print(const std::string& bytes) {
    WriteAll(GetStdHandle(STD_OUTPUT_HANDLE), bytes);
}

void PrintError(const std::string& bytes) {
    WriteAll(GetStdHandle(STD_ERROR_HANDLE), bytes);
}
