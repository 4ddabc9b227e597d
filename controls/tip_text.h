#pragma once
// Tooltip texts with a maximum width. The texts break lines with "\n\r";
// a line wider than the maximum is wrapped at word boundaries, as a tooltip
// control with a maximum tip width does. Texts that fit stay plain.

#include <QString>

namespace kelvane {

// "\n\r" (and a lone "\n") become line breaks. When a line is wider than
// `maxWidth` pixels in the tooltip font, the text is returned as rich text
// laid out `maxWidth` pixels wide; otherwise as plain text. 0 means no limit.
QString LimitedTipText(const QString& text, int maxWidth);

}  // namespace kelvane
