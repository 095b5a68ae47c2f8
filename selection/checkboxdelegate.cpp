#include "checkboxdelegate.h"

#include <QApplication>
#include <QCheckBox>
#include <QKeyEvent>
#include <QMouseEvent>
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

QRect CheckBoxDelegateate::indicatorRect(const QStyleOptionViewItem &option) const
{
    const QStyle *style = option.widget ? option.widget->style() : QApplication::style();
    QRect indicator(0, 0, style->pixelMetric(QStyle::PM_IndicatorWidth, &option, option.widget),
                    style->pixelMetric(QStyle::PM_IndicatorHeight, &option, option.widget));
    indicator.moveCenter(option.rect.center());
    return indicator;
}

bool CheckBoxDelegateate::editorEvent(QEvent *event, QAbstractItemModel *model,
                                      const QStyleOptionViewItem &option, const QModelIndex &index)
{
    const Qt::ItemFlags flags = index.flags();
    if (!(flags & Qt::ItemIsEnabled) || !(flags & Qt::ItemIsEditable))
        return false;
    switch (event->type()) {
    case QEvent::MouseButtonRelease: {
        const auto *mouse = static_cast<QMouseEvent *>(event);
        if (mouse->button() != Qt::LeftButton || !indicatorRect(option).contains(mouse->pos()))
            return false;
        break;
    }
    case QEvent::MouseButtonDblClick:
        // The second click of a double-click toggles nothing more.
        return indicatorRect(option).contains(static_cast<QMouseEvent *>(event)->pos());
    case QEvent::KeyPress: {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key != Qt::Key_Space && key != Qt::Key_Select)
            return false;
        break;
    }
    default:
        return false;
    }
    return model->setData(index, !index.data(Qt::EditRole).toBool(), Qt::EditRole);
}

void CheckBoxDelegateate::paint(QPainter *painter, const QStyleOptionViewItem &option,
                                const QModelIndex &index) const
{
    if (!(index.flags() & Qt::ItemIsEnabled)) {
        painter->fillRect(option.rect, Qt::black);
        return;
    }
    drawBackground(painter, option, index);
    drawCheck(painter, option, indicatorRect(option),
              index.data(Qt::EditRole).toBool() ? Qt::Checked : Qt::Unchecked);
}
