#ifndef STATIONSCOPE_SELECTIONMARKS_H
#define STATIONSCOPE_SELECTIONMARKS_H

// Marks the selection rows a check found something on with an icon of the
// worst severity and a tooltip listing the findings; puts back what the rows
// showed before when cleared. The marks are no edit of the project: they are
// set without the models' change signals and repainted directly.

#include "comparefinding.h"

#include <QIcon>
#include <QObject>
#include <QPersistentModelIndex>
#include <QVector>

class QStandardItemModel;
class QWidget;

class SelectionMarks : public QObject
{
    Q_OBJECT

public:
    // The top-level rows of the three selections when a check started.
    struct Rows
    {
        QVector<QPersistentModelIndex> objects;
        QVector<QPersistentModelIndex> dataSets;
        QVector<QPersistentModelIndex> reports;
    };

    // views: searched for the views of the three models to repaint.
    SelectionMarks(QStandardItemModel *objects, QStandardItemModel *dataSets,
                   QStandardItemModel *reports, QWidget *views, QObject *parent = nullptr);

    Rows capture() const;
    void mark(const CompareFindings &findings, const Rows &rows);
    void clear();
    int count() const { return marks.size(); }

private:
    struct Mark
    {
        QPersistentModelIndex index;
        QVariant decoration;
        QVariant toolTip;
    };
    QStandardItemModel *modelOf(PickKind kind) const;
    void repaint();

    QStandardItemModel *models[3];
    QWidget *views;
    QVector<Mark> marks;
};

#endif
