#ifndef STATIONSCOPE_TAGSELECTOR_H
#define STATIONSCOPE_TAGSELECTOR_H

#include <QDialog>
#include <QPersistentModelIndex>
#include <QString>

class QAbstractItemModel;
class TagFilterModel;

namespace Ui {
class TagSelector;
}

// Modal chooser of a PLC/RTU signal: the labels of the signal list, narrowed by
// a filter as the engineer types; a double-click chooses.
class TagSelector : public QDialog
{
    Q_OBJECT

public:
    explicit TagSelector(QWidget *parent = nullptr);
    ~TagSelector() override;

    void setSourceModel(QAbstractItemModel *signalList);
    QAbstractItemModel *sourceModel() const;
    TagFilterModel *filterModel() const { return proxy; }

    // The chosen signal name, cut before the first "::"; empty when there is
    // nothing to choose from or the dialog was cancelled.
    QString selectTag();
    // Runs the dialog like selectTag() and gives the chosen index of the signal
    // list, invalid when nothing was chosen.
    QModelIndex chooseSignal();
    QModelIndex chosenIndex() const { return chosen; }

    void clearFilter();

public slots:
    void on_lineEdit_textChanged(const QString &arg1);
    void itemDoubleClicked(const QModelIndex &index);
    void on_pushButton_cancel_clicked();
    void on_toolButton_clear_clicked();

private:
    Ui::TagSelector *ui;
    // Persistent: the signal list may be refilled while the dialog is closed.
    QPersistentModelIndex chosen;
    TagFilterModel *proxy = nullptr;
};

#endif
