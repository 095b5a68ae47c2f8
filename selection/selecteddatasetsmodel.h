#ifndef STATIONSCOPE_SELECTEDDATASETSMODEL_H
#define STATIONSCOPE_SELECTEDDATASETSMODEL_H

#include "selecteditemsmodel.h"

// The picked data sets with their members, bound to the signals that carry a
// set's status, trigger, reception and result. The last column shows what a
// live IED last reported for a member; it belongs to the watch, never to the
// project, and holds no editor.
class SelectedDatasetsModel : public SelectedItemsModel
{
    Q_OBJECT

public:
    enum Column {
        NameColumn,
        StatusSignalColumn,
        TrigSignalColumn,
        RxTimeSignalColumn,
        RxCountSignalColumn,
        ResultSignalColumn,
        MmsTypeColumn,
        DatasetFromReportFlagSignalColumn,
        LiveValueColumn,
        ColumnCount
    };

    explicit SelectedDatasetsModel(QObject *parent = nullptr);

    bool acceptsNode(QStandardItem *source, const QString &name, const QString &group) override;
    void setupRow(const QList<QStandardItem *> &row, bool topLevel) override;

    // The references of the selected data sets, in row order.
    QStringList datasetNames() const;

    // Shows the MMS type of every member of a newly added data set.
    void fillAddedRow(QStandardItem *node);

    // The live value shown beside node's signals; an empty text clears it.
    void setLiveValue(QStandardItem *node, const QString &text);
    QString liveValue(const QStandardItem *node) const;
    void clearLiveValues();

signals:
    void datasetUpdate(const QStringList &names);

public slots:
    void emitDatasetUpdate();
    void onRowsRemoved(const QModelIndex &parent, int first, int last);
    void onRowsInserted(const QModelIndex &parent, int first, int last);
};

#endif
