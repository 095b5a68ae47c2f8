#include "combodelegate.h"

#include <QComboBox>
#include <QPainter>
#include <QSignalBlocker>

const QString ComboDelegate::Separator = QStringLiteral("-----");

ComboDelegate::ComboDelegate(const QStringList &items, QObject *parent)
    : QItemDelegate(parent), texts(items)
{
}

QWidget *ComboDelegate::createEditor(QWidget *parent, const QStyleOptionViewItem &,
                                     const QModelIndex &) const
{
    auto *combo = new QComboBox(parent);
    for (const QString &text : texts) {
        if (text == Separator)
            combo->insertSeparator(combo->count());
        else
            combo->addItem(text);
    }
    // The combos of the selected row stay open as persistent editors, so a
    // choice has to reach the model without waiting for the editor to close.
    connect(combo, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &ComboDelegate::commitChoice);
    return combo;
}

void ComboDelegate::setEditorData(QWidget *editor, const QModelIndex &index) const
{
    auto *combo = qobject_cast<QComboBox *>(editor);
    if (!combo)
        return;
    const QString text = index.data(Qt::EditRole).toString();
    int position = text == Separator ? -1 : texts.indexOf(text);
    for (int i = 0; position < 0 && i < texts.size(); ++i) {
        if (texts.at(i) != Separator)
            position = i;
    }
    // Showing the cell's value is not a choice: it must not be written back.
    const QSignalBlocker blocker(combo);
    combo->setCurrentIndex(position);
}

void ComboDelegate::setModelData(QWidget *editor, QAbstractItemModel *model,
                                 const QModelIndex &index) const
{
    if (auto *combo = qobject_cast<QComboBox *>(editor))
        model->setData(index, combo->currentText(), Qt::EditRole);
}

void ComboDelegate::commitChoice()
{
    if (auto *combo = qobject_cast<QComboBox *>(sender()))
        emit commitData(combo);
}

void ComboDelegate::updateEditorGeometry(QWidget *editor, const QStyleOptionViewItem &option,
                                         const QModelIndex &) const
{
    editor->setGeometry(option.rect);
}

void ComboDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option,
                          const QModelIndex &index) const
{
    if (index.flags() & Qt::ItemIsEnabled) {
        QItemDelegate::paint(painter, option, index);
        return;
    }
    QBrush background = qvariant_cast<QBrush>(index.data(Qt::BackgroundRole));
    if (background.style() == Qt::NoBrush)
        background = QBrush(Qt::black);
    painter->fillRect(option.rect, background);
}
