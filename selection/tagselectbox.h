#ifndef STATIONSCOPE_TAGSELECTBOX_H
#define STATIONSCOPE_TAGSELECTBOX_H

#include <QModelIndex>
#include <QPointer>
#include <QStandardItemModel>
#include <QString>
#include <QWidget>

class TagSelector;

namespace Ui {
class TagSelectBox;
}

// Compact box that shows the current signal and hosts the one tag selector
// the whole window shares.
class TagSelectBox : public QWidget
{
    Q_OBJECT

public:
    explicit TagSelectBox(QWidget *parent = nullptr);
    ~TagSelectBox() override;

    void setSignalModel(QStandardItemModel *signalList);
    TagSelector *tagSelector() const { return selector; }
    QString currentText() const;
    void clearTagFilter();

public slots:
    void on_toolButton_tagSearch_clicked();
    void on_toolButton_clicked();
    QString tagSearch();

signals:
    void currentIndexChanged(int row);
    void iAmInvalid();

private:
    void showSignal(const QModelIndex &index);

    Ui::TagSelectBox *ui;
    TagSelector *selector = nullptr;
    QPointer<QStandardItemModel> signalModel;
};

#endif
