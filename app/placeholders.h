#ifndef STATIONSCOPE_PLACEHOLDERS_H
#define STATIONSCOPE_PLACEHOLDERS_H

// The main window's form names the tree container, tag select box and signal
// tree by their own classes. Until those exist, plain Qt widgets of the same
// base class hold their places.

#include <QTreeView>
#include <QWidget>

using TreeviewContainer = QWidget;
using TagSelectBox = QWidget;
using SignalItemsTree = QTreeView;

#endif
