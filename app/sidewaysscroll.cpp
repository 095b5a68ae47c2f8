#include "sidewaysscroll.h"

#include <QEvent>
#include <QScrollArea>
#include <QScrollBar>

SidewaysScroll::SidewaysScroll(QScrollArea *area) : QObject(area), area(area)
{
    area->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    area->setSizePolicy(area->sizePolicy().horizontalPolicy(), QSizePolicy::Fixed);
    area->widget()->installEventFilter(this);
    area->horizontalScrollBar()->installEventFilter(this);
    fitHeight();
}

bool SidewaysScroll::eventFilter(QObject *, QEvent *event)
{
    switch (event->type()) {
    case QEvent::LayoutRequest:
    case QEvent::Show:
    case QEvent::Hide:
        fitHeight();
        break;
    default:
        break;
    }
    return false;
}

void SidewaysScroll::fitHeight()
{
    const QScrollBar *bar = area->horizontalScrollBar();
    const int barHeight = bar->isVisibleTo(area) ? bar->sizeHint().height() : 0;
    const int height = area->widget()->sizeHint().height() + barHeight + 2 * area->frameWidth();
    if (area->minimumHeight() != height || area->maximumHeight() != height)
        area->setFixedHeight(height);
}
