#pragma once

#include <QColor>
#include <QIcon>
#include <QString>

namespace pressling::reading {

// The few system symbols the article list shows, by their names:
//   "line.horizontal.3.decrease.circle"       the feed filter, no feed chosen
//   "line.horizontal.3.decrease.circle.fill"  the feed filter while a feed is chosen
//   "eyeglasses"                              add to the reading list
//   "doc.on.doc.fill"                         copy
//   "square.and.arrow.up"                     share
//   "exclamationmark.triangle"                a feed whose last download failed
//   "trash"                                   delete
// drawn in the application palette's button text colour as it is at the first call of each
// name, or in the colour given. The same name always gives the same icon (equal cacheKey), so a
// control's state can be read back from its icon. An unknown name gives a null icon. Main thread.
QIcon systemSymbol(const QString& name);
QIcon systemSymbol(const QString& name, const QColor& color);

}  // namespace pressling::reading
