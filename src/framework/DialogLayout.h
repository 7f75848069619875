// DialogLayout: what an extended dialog template says of its layout (its font, its size and each
// control's rectangle in dialog units), read when the dialog is made, so that the dialog can be
// laid out again at another DPI as the dialog manager lays it out at creation. See Dpi.h for who
// scales what.
#pragma once

#include <windows.h>

#include <vector>

struct DialogLayout {
    struct Item {
        int id;
        short x, y, cx, cy; // dialog units
    };

    // False (and nothing read) for a template that is not a DIALOGEX one or sets no font.
    bool Read(const void* dialogTemplate);
    bool Valid() const { return pointSize != 0; }
    // The dialog's font made for the DPI: the one the dialog manager made from the template
    // (`made`, taken from the dialog once it is there), at the template's size in points.
    LOGFONTW FontAt(UINT dpi) const;

    short cx = 0, cy = 0;
    WORD pointSize = 0;
    LOGFONTW made{};
    std::vector<Item> items;
};

// The dialog base units of a font (average character width, height), measured as the dialog
// manager measures them: a horizontal dialog unit is a quarter of the first, a vertical one an
// eighth of the second.
SIZE DialogBaseUnits(HFONT font);
// A rectangle of dialog units in pixels at those base units.
RECT DialogUnitsToPixels(const DialogLayout::Item& item, SIZE baseUnits);
