#include "tagselectbox.h"
#include "ui_tagselectbox.h"

#include "sclmodel.h"
#include "stationscoperesources.h"
#include "tagfiltermodel.h"
#include "tagselector.h"

#include <QStandardItemModel>

TagSelectBox::TagSelectBox(QWidget *parent) : QWidget(parent), ui(new Ui::TagSelectBox)
{
    initStationscopeResources();
    ui->setupUi(this);
    // Made after setupUi, so that connecting our slots by name does not look
    // into the selector's widgets.
    selector = new TagSelector(this);
}

TagSelectBox::~TagSelectBox()
{
    delete ui;
}

void TagSelectBox::setSignalModel(QStandardItemModel *signalList)
{
    signalModel = signalList;
    selector->setSourceModel(signalList);
}

QString TagSelectBox::currentText() const
{
    return ui->lineEdit->text();
}

void TagSelectBox::clearTagFilter()
{
    selector->clearFilter();
}

void TagSelectBox::on_toolButton_tagSearch_clicked()
{
    if (!signalModel)
        return;
    const QModelIndex index = selector->chooseSignal();
    if (index.isValid())
        showSignal(index);
}

void TagSelectBox::on_toolButton_clicked()
{
    if (!signalModel)
        return;
    // The placeholder carries its name as label; the number column is empty.
    for (int row = 0; row < signalModel->rowCount(); ++row) {
        if (signalModel->index(row, TagFilterModel::LabelColumn).data().toString() ==
            NoSignalName) {
            showSignal(signalModel->index(row, 0));
            return;
        }
    }
}

QString TagSelectBox::tagSearch()
{
    if (!signalModel)
        return QString();
    if (selector->selectTag().isEmpty())
        return QString();
    const QString label =
        selector->chosenIndex().siblingAtColumn(TagFilterModel::LabelColumn).data().toString();
    ui->lineEdit->setText(label);
    return label;
}

void TagSelectBox::showSignal(const QModelIndex &index)
{
    ui->lineEdit->setText(index.siblingAtColumn(TagFilterModel::LabelColumn).data().toString());
    emit currentIndexChanged(index.row());
}
