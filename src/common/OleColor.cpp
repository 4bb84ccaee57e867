#include "common/OleColor.h"

#include <QGuiApplication>

namespace olecolor {

QColor toColor(qint32 ole, const QPalette &palette)
{
    if (!isSystemColor(ole))
        return QColor(ole & 0xFF, (ole >> 8) & 0xFF, (ole >> 16) & 0xFF);
    switch (quint32(ole) & 0xFFu) {
    case 0x05: return palette.color(QPalette::Base); // window background
    case 0x08: return palette.color(QPalette::Text); // window text
    case 0x0F: return palette.color(QPalette::Button); // button face
    case 0x10: return palette.color(QPalette::Dark); // button shadow
    case 0x11: return palette.color(QPalette::Disabled, QPalette::ButtonText); // grey text
    case 0x12: return palette.color(QPalette::ButtonText); // button text
    case 0x14: return palette.color(QPalette::Light); // button highlight
    case 0x0D: return palette.color(QPalette::Highlight);
    case 0x0E: return palette.color(QPalette::HighlightedText);
    default: return palette.color(QPalette::WindowText);
    }
}

QColor toColor(qint32 ole)
{
    return toColor(ole, QGuiApplication::palette());
}

} // namespace olecolor
