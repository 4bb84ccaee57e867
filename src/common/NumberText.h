#pragma once

#include <QString>
#include <optional>

// Numbers in the console's texts (counts in boxes, identifiers and values in the controller's answers)
// are read the way the operator's tools always read them: the text's leading number, with blanks, tabs
// and line feeds anywhere ignored, digits with an optional sign, decimal point and exponent, up to the
// first character that cannot continue the number; a text that does not start with a number reads 0.
namespace numtext {

// The leading number of the text. A number too large for a double reads as +/- infinity.
double read(const QString &text);

// Plain decimal without leading zeros: 25, 2.5, 0, -3. Up to 15 significant digits, as the console has
// always shown numbers; very large or small magnitudes fall back to exponent form (1E+20), infinity is
// 1E+999. Whatever it writes reads back as the same number.
QString plain(double value);

// Rounds to the nearest whole number, halves to the even neighbour (12.5 -> 12, 13.5 -> 14).
// Empty when the value is not finite or does not fit in 32 bits.
std::optional<qint32> toInt32(double value);

// Whole-number reading of a text as it was done for settings: leading number, rounded half to even,
// 0 when out of range.
qint32 readInt32(const QString &text);

} // namespace numtext
