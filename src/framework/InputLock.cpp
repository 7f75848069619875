#include "InputLock.h"

namespace {

const wchar_t* Property(InputHold kind) {
    return kind == InputHold::Box ? L"Quelvox.BoxHolds" : L"Quelvox.WaitHolds";
}

INT_PTR Holds(HWND window, InputHold kind) {
    return reinterpret_cast<INT_PTR>(::GetPropW(window, Property(kind)));
}

void SetHolds(HWND window, InputHold kind, INT_PTR holds) {
    if (holds > 0)
        ::SetPropW(window, Property(kind), reinterpret_cast<HANDLE>(holds));
    else
        ::RemovePropW(window, Property(kind));
}

void Apply(HWND window) {
    ::EnableWindow(window,
                   Holds(window, InputHold::Box) == 0 && Holds(window, InputHold::Wait) == 0);
}

} // namespace

void HoldInput(HWND window, InputHold kind) {
    SetHolds(window, kind, Holds(window, kind) + 1);
    Apply(window);
}

void ReleaseInput(HWND window, InputHold kind) {
    SetHolds(window, kind, Holds(window, kind) - 1);
    Apply(window);
}

bool BoxOpenOver(HWND window) {
    return Holds(window, InputHold::Box) > 0;
}
