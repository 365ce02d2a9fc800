#pragma once

#include <Qt>

// Copying from the grids with the keyboard, shared by the preview window and
// both editors.
namespace pagrion {

// The key-down test of the grids: Ctrl held and the key's code sharing a bit
// with 67, the code of "C". A bit test, so Ctrl+V, Ctrl+A and Ctrl alone copy
// too, while Ctrl with 0, 4 or 8 does not. keyCode is a GridView key code.
bool copiesOnKeyDown(int keyCode, Qt::KeyboardModifiers modifiers);

// Empties the clipboard, then puts on it what the focused control holds: a
// text box's selected text, a combo or list box's text, a grid's current
// cell. Any other control leaves the clipboard empty.
void copyFocusedToClipboard();

} // namespace pagrion
