#include "checkboxdelegate.h"

#include <QApplication>
#include <QCheckBox>
#include <QPainter>
#include <QSignalBlocker>
#include <QStyle>

CheckBoxDelegateate::CheckBoxDelegateate(QObject *parent) : QItemDelegate(parent) {}

QWidget *CheckBoxDelegateate::createEditor(QWidget *parent, const QStyleOptionViewItem &,
                                           const QModelIndex &) const
{
    auto *box = new QCheckBox(parent);
    // Persistent editors are closed without a commit when the selection moves
    // on, so every click is written at once.
    connect(box, &QCheckBox::toggled, this, &CheckBoxDelegateate::commitToggle);
    return box;
}

void CheckBoxDelegateate::setEditorData(QWidget *editor, const QModelIndex &index) const
{
    auto *box = qobject_cast<QCheckBox *>(editor);
    if (!box)
        return;
    const QSignalBlocker blocker(box);
    box->setChecked(index.data(Qt::EditRole).toBool());
}

void CheckBoxDelegateate::setModelData(QWidget *editor, QAbstractItemModel *model,
                                       const QModelIndex &index) const
{
    if (auto *box = qobject_cast<QCheckBox *>(editor))
        model->setData(index, box->isChecked(), Qt::EditRole);
}

void CheckBoxDelegateate::commitToggle()
{
    if (auto *box = qobject_cast<QCheckBox *>(sender()))
        emit commitData(box);
}

void CheckBoxDelegateate::updateEditorGeometry(QWidget *editor, const QStyleOptionViewItem &option,
                                               const QModelIndex &) const
{
    QRect frame(QPoint(0, 0), editor->sizeHint());
    frame.moveCenter(option.rect.center());
    editor->setGeometry(frame);
}

void CheckBoxDelegateate::paint(QPainter *painter, const QStyleOptionViewItem &option,
                                const QModelIndex &index) const
{
    if (!(index.flags() & Qt::ItemIsEnabled)) {
        painter->fillRect(option.rect, Qt::black);
        return;
    }
    drawBackground(painter, option, index);
    const QStyle *style = option.widget ? option.widget->style() : QApplication::style();
    QRect indicator(0, 0, style->pixelMetric(QStyle::PM_IndicatorWidth, &option, option.widget),
                    style->pixelMetric(QStyle::PM_IndicatorHeight, &option, option.widget));
    indicator.moveCenter(option.rect.center());
    drawCheck(painter, option, indicator,
              index.data(Qt::EditRole).toBool() ? Qt::Checked : Qt::Unchecked);
}
