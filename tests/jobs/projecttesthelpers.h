#ifndef STATIONSCOPE_PROJECTTESTHELPERS_H
#define STATIONSCOPE_PROJECTTESTHELPERS_H

// A project file in a temporary directory, the parsed example model, and the
// comparisons the round-trip tests share.

#include "iec61850dbmanager.h"
#include "sclmodel.h"
#include "sclparser.h"
#include "selecteddatasetsmodel.h"
#include "selecteditemsmodel.h"
#include "selectedobjectsmodel.h"
#include "selectedreportsmodel.h"
#include "sqliteconnector.h"

#include <QStandardItem>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

struct ProjectFile
{
    QTemporaryDir dir;
    QString path;
    // Declared before the manager, so it is destroyed after it.
    std::unique_ptr<SqliteConnector> connector;
    std::unique_ptr<Iec61850DbManager> db;

    explicit ProjectFile(const QString &name = QStringLiteral("project.sclpro"))
        : path(dir.filePath(name))
    {
    }

    // As the main window does: a new file gets its tables, an existing one is upgraded.
    bool open(bool create)
    {
        close();
        connector = std::make_unique<SqliteConnector>();
        connector->setDatabaseName(path);
        if (!connector->open())
            return false;
        db = std::make_unique<Iec61850DbManager>(connector.get());
        if (create) {
            db->createSelectionTables();
            db->createModelTables();
        } else {
            db->upgradeProject();
        }
        return true;
    }

    void close()
    {
        db.reset();
        connector.reset();
    }
};

// The three selection models, linked as the tree container links them.
struct Selections
{
    SelectedObjectsModel objects;
    SelectedDatasetsModel datasets;
    SelectedReportsModel reports;

    Selections()
    {
        QObject::connect(&datasets, &SelectedDatasetsModel::datasetUpdate, &reports,
                         &SelectedReportsModel::onDataSetUpdate);
    }
    QList<SelectedItemsModel *> models() { return {&objects, &datasets, &reports}; }
};

inline bool parseIed(const QString &file, const QString &ied, QStandardItemModel *model)
{
    SclParser parser;
    if (!parser.loadIedNames(file).contains(ied))
        return false;
    return parser.parse(ied, model);
}

// The node reached from parent by the texts of column 0, or null.
inline QStandardItem *findNode(QStandardItem *parent, const QStringList &texts)
{
    QStandardItem *node = parent;
    for (const QString &text : texts) {
        QStandardItem *next = nullptr;
        for (int row = 0; node && row < node->rowCount() && !next; ++row) {
            if (node->child(row) && node->child(row)->text() == text)
                next = node->child(row);
        }
        node = next;
    }
    return node;
}

inline QString variantText(const QVariant &value)
{
    if (!value.isValid())
        return QStringLiteral("<none>");
    return QStringLiteral("%1:%2").arg(QString::fromLatin1(value.typeName()), value.toString());
}

// "LD/LN/..." path of a node for failure messages.
inline QString nodePath(const QStandardItem *node)
{
    QStringList texts;
    for (; node; node = node->parent())
        texts.prepend(node->text());
    return texts.join(QLatin1Char('/'));
}

#endif
