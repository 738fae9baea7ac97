#pragma once
// Where engine values meet Qt's types: colours (0x00BBGGRR) to and from QColor.

#include <QColor>
#include <QString>
#include <cstdint>

#include "base/ColourValue.h"

namespace fim {

inline QColor ToQColor(uint32_t value) {
    const ColourParts c = SplitColour(value);
    return QColor(c.red, c.green, c.blue);
}

inline uint32_t FromQColor(const QColor& colour) {
    return JoinColour(colour.red(), colour.green(), colour.blue());
}

// "#rrggbb", for style sheets.
inline QString CssColour(uint32_t value) { return ToQColor(value).name(QColor::HexRgb); }

}  // namespace fim
