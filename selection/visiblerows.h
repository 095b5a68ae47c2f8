#ifndef STATIONSCOPE_VISIBLEROWS_H
#define STATIONSCOPE_VISIBLEROWS_H

// How high a table or tree must stay so that a laptop screen still shows a
// useful number of its rows: splitters, docks and layouts give it no less,
// and what does not fit scrolls instead of squeezing it.

class QAbstractItemView;

namespace VisibleRows {

constexpr int Least = 8;

// The height of the view's row (the first row's when it has one).
int rowHeight(const QAbstractItemView *view);
// Header, rows, frame and a horizontal scroll bar's room.
int heightFor(const QAbstractItemView *view, int rows = Least);
// Keeps the view at least that high.
void keep(QAbstractItemView *view, int rows = Least);

} // namespace VisibleRows

#endif
