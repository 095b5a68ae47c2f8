#ifndef STATIONSCOPE_WINDOWPLACEMENT_H
#define STATIONSCOPE_WINDOWPLACEMENT_H

// Keeps a top-level window on the screen it opens on: the geometry saved when
// it last closed comes back only when it fits that screen's available area;
// otherwise the designed size is cut to the area, with room for the window
// manager's frame, and centred in it.

#include <QRect>
#include <QString>

class QMainWindow;
class QWidget;

namespace WindowPlacement {

// Where a window of the wanted size (and at least the minimum) opens within
// the available area.
QRect fitted(const QSize &wanted, const QSize &minimum, const QRect &available);
// The saved geometry when it lies within the available area, else fitted().
QRect opening(const QRect &saved, const QSize &wanted, const QSize &minimum,
              const QRect &available);

// Before the first show.
void place(QWidget *window, const QString &settingsKey);
void save(const QWidget *window, const QString &settingsKey);

// The docks (where, which tab, how high) and every named splitter of the
// window as the engineer left them; restored before the first show.
void saveLayout(const QMainWindow *window, const QString &settingsKey);
// False when nothing was saved.
bool restoreLayout(QMainWindow *window, const QString &settingsKey);

} // namespace WindowPlacement

#endif
