#ifndef STATIONSCOPE_SIDEWAYSSCROLL_H
#define STATIONSCOPE_SIDEWAYSSCROLL_H

// Lets a panel wider than the window scroll sideways instead of widening the
// window: its scroll area keeps the height of the panel, plus the scroll bar's
// while that shows.

#include <QObject>

class QScrollArea;

class SidewaysScroll : public QObject
{
public:
    explicit SidewaysScroll(QScrollArea *area);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void fitHeight();

    QScrollArea *area;
};

#endif
