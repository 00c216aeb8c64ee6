#pragma once
// Dialog texts that show whole. A control from the resource script has a fixed box, and a
// language file's text may be longer than the English one; worse, some text renderers (seen
// under Wine with the dialog font at 12 pixels) draw a line several percent wider than the
// width the font reports for it, so a box sized to the reported width still cuts the last
// letters. The widths here are measured by drawing the text.

#include <windows.h>

#include <string>

namespace kestiva {

// The width text takes when drawn in font on a single line, '&' marking an access key: the
// wider of the width the font reports and the rightmost pixel it draws.
int drawnTextWidth(HFONT font, const std::wstring& text);

// Fits each text control of dialog to its text: a single-line label, check box or radio button
// that is too narrow grows to the right, up to the next control on its row or the dialog's
// margin; a wrapped label gets its own line breaks, made at the width the lines are drawn;
// a group box's caption gets the room it is drawn in.
void fitTextWidths(HWND dialog);

}  // namespace kestiva
