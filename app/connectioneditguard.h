#ifndef STATIONSCOPE_CONNECTIONEDITGUARD_H
#define STATIONSCOPE_CONNECTIONEDITGUARD_H

#include <QHash>
#include <QObject>
#include <QString>

class QStandardItem;
class QStandardItemModel;

// Stands between the value cells of the SCL model's connection node and the
// project file: an edit the connection value rule refuses is told to the
// engineer and undone; an accepted one is passed on to be written.
class ConnectionEditGuard : public QObject
{
    Q_OBJECT

public:
    // Refusals are shown over promptParent.
    ConnectionEditGuard(QStandardItemModel *model, QWidget *promptParent,
                        QObject *parent = nullptr);

    // The connection node of the model's IED, or null when it has none.
    QStandardItem *connectionNode() const;

signals:
    void valueAccepted(QStandardItem *value);

private:
    void onItemChanged(QStandardItem *item);
    // Remembers the values of connection rows not seen before, as they came
    // from the parse, the project file or a workbook.
    void captureRows();
    void forget();

    QStandardItemModel *model;
    QWidget *promptParent;
    const QStandardItem *capturedNode = nullptr;
    QHash<int, QString> acceptedValues;
    bool restoring = false;
};

#endif
