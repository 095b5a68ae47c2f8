#ifndef STATIONSCOPE_SCLPARSERTESTHELPERS_H
#define STATIONSCOPE_SCLPARSERTESTHELPERS_H

// Shared by the parser tests: fixture paths, finding nodes by their texts and
// comparing icons.

#include "sclmodel.h"
#include "testpaths.h"

#include <QIcon>
#include <QImage>
#include <QPixmap>
#include <QStandardItem>
#include <QStandardItemModel>
#include <QStringList>

inline QString fixture(const QString &name)
{
    return sourceFile(QStringLiteral("tests/scl/fixtures/") + name);
}

inline QStandardItem *childByText(QStandardItem *parent, const QString &text)
{
    if (!parent)
        return nullptr;
    for (int row = 0; row < parent->rowCount(); ++row) {
        if (parent->child(row) && parent->child(row)->text() == text)
            return parent->child(row);
    }
    return nullptr;
}

// A node below the project root, e.g. {"DataObjects", "E1", "LD1", "MMXU1"}.
inline QStandardItem *nodeAt(const QStandardItemModel &model, const QStringList &path)
{
    QStandardItem *node = model.item(0);
    for (const QString &text : path)
        node = childByText(node, text);
    return node;
}

inline QStringList childTexts(const QStandardItem *parent)
{
    QStringList texts;
    if (!parent)
        return texts;
    for (int row = 0; row < parent->rowCount(); ++row)
        texts << parent->child(row)->text();
    return texts;
}

inline bool hasIcon(const QStandardItem *item, const QString &path)
{
    const QImage expected = QIcon(path).pixmap(16, 16).toImage();
    return !expected.isNull() && item->icon().pixmap(16, 16).toImage() == expected;
}

#endif
