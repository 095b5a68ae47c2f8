#include "tagselector.h"
#include "ui_tagselector.h"

#include "stationscoperesources.h"
#include "tagfiltermodel.h"
#include "userprompt.h"

TagSelector::TagSelector(QWidget *parent) : QDialog(parent), ui(new Ui::TagSelector)
{
    initStationscopeResources();
    ui->setupUi(this);
    connect(ui->listView_tagList, &QAbstractItemView::doubleClicked, this,
            &TagSelector::itemDoubleClicked);
}

TagSelector::~TagSelector()
{
    delete ui;
}

void TagSelector::setSourceModel(QAbstractItemModel *signalList)
{
    if (!proxy) {
        proxy = new TagFilterModel(this);
        proxy->setFilterCaseSensitivity(Qt::CaseInsensitive);
        proxy->setFilterRegularExpression(ui->lineEdit->text());
    }
    proxy->setSourceModel(signalList);
    ui->listView_tagList->setModel(proxy);
    ui->listView_tagList->setEditTriggers(QAbstractItemView::NoEditTriggers);
}

QAbstractItemModel *TagSelector::sourceModel() const
{
    return proxy ? proxy->sourceModel() : nullptr;
}

QString TagSelector::selectTag()
{
    const QModelIndex index = chooseSignal();
    if (!index.isValid())
        return QString();
    const QString label = index.siblingAtColumn(TagFilterModel::LabelColumn).data().toString();
    return label.left(label.indexOf(QLatin1String("::")));
}

QModelIndex TagSelector::chooseSignal()
{
    const QAbstractItemModel *signalList = sourceModel();
    if (!signalList || signalList->rowCount() == 0)
        return QModelIndex();

    clearFilter();
    chosen = QPersistentModelIndex();
    if (UserPrompt::exec(this) != QDialog::Accepted)
        return QModelIndex();
    return chosen;
}

void TagSelector::clearFilter()
{
    ui->lineEdit->clear();
}

void TagSelector::on_lineEdit_textChanged(const QString &arg1)
{
    if (proxy)
        proxy->setFilterRegularExpression(arg1);
}

void TagSelector::itemDoubleClicked(const QModelIndex &index)
{
    if (!proxy || !index.isValid())
        return;
    chosen = proxy->mapToSource(index);
    accept();
}

void TagSelector::on_pushButton_cancel_clicked()
{
    reject();
}

void TagSelector::on_toolButton_clear_clicked()
{
    clearFilter();
}
