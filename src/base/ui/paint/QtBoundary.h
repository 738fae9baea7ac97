#pragma once
// Where engine values meet Qt's types: texts (UTF-8 std::string, catalog messages), colours
// (0x00BBGGRR), the named plot font and the painters' pens.

#include <QColor>
#include <QFont>
#include <QPen>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <string>

#include "base/Catalog.h"
#include "base/ColourValue.h"

namespace fim {

inline QString Q(const std::string& text) { return QString::fromStdString(text); }
// Catalog message `index` in the active language.
inline QString M(int index) { return Q(Msg(index)); }

inline QColor ToQColor(uint32_t value) {
    const ColourParts c = SplitColour(value);
    return QColor(c.red, c.green, c.blue);
}

inline uint32_t FromQColor(const QColor& colour) {
    return JoinColour(colour.red(), colour.green(), colour.blue());
}

// "#rrggbb", for style sheets.
inline QString CssColour(uint32_t value) { return ToQColor(value).name(QColor::HexRgb); }

// `base` in the named family (Arial), or the metric-compatible Liberation Sans where Arial is not
// installed, so layouts look the same everywhere.
inline QFont NamedFont(const QFont& base) {
    QFont f = base;
    f.setFamilies(QStringList{QStringLiteral("Arial"), QStringLiteral("Liberation Sans")});
    return f;
}

// A one-pixel cosmetic pen: thin pens take the raster engine's fast line path.
inline QPen Pen(uint32_t colour, Qt::PenStyle style = Qt::SolidLine) {
    QPen pen(ToQColor(colour));
    pen.setWidth(1);
    pen.setCosmetic(true);
    pen.setStyle(style);
    return pen;
}

}  // namespace fim
