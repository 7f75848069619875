// The program's languages as the main window offers them in its language menu. The
// application knows them (it loads their libraries at start-up) and restarts the program in
// another.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// Bit that marks a language menu command: the entry's identifier is its LCID with this bit.
constexpr UINT kLanguageCommandBit = 0x8000;

class Languages {
public:
    // Those that have a library, in the menu's order.
    virtual const std::vector<LCID>& Installed() const = 0;
    virtual LCID InUse() const = 0;
    // The abbreviation of the language the user asked for, which names its licence file,
    // even when another library stands in for it.
    virtual std::wstring Abbreviation() const = 0;
    // The abbreviation of the library in use (ENU when English stands in for the one asked).
    virtual std::wstring LoadedAbbreviation() const = 0;
    // Stores the choice; the program starts anew in it once the main window has ended.
    virtual void RestartIn(LCID lcid) = 0;

protected:
    ~Languages() = default;
};
