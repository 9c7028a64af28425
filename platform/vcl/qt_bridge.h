// Conversions between the library's values and Qt's, for the library's own sources.
#pragma once

#include <QColor>
#include <QFont>
#include <QString>

#include "platform/vcl/vcl.h"

namespace vcl {

QString ToQString(const AnsiString& text);
QFont ToQFont(const TFont& font);
QColor ToQColor(TColor color);

}  // namespace vcl
