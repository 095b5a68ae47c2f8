#include "scldataexporter.h"

#include "stationscoperesources.h"

#include <QStandardItem>

SclDataExporter::SclDataExporter(QObject *parent) : QObject(parent)
{
    initStationscopeResources();
}

int SclDataExporter::countNodes(const QStandardItem *parent)
{
    int count = 0;
    if (!parent)
        return count;
    for (int row = 0; row < parent->rowCount(); ++row) {
        if (const QStandardItem *child = parent->child(row, 0))
            count += 1 + countNodes(child);
    }
    return count;
}

void SclDataExporter::startProgress(int count)
{
    total = count;
    remaining = count;
}

void SclDataExporter::step()
{
    --remaining;
    const int percent = total > 0 ? int(qint64(total - remaining) * 100 / total) : 100;
    emit progressUpdated(percent);
}

QIcon SclDataExporter::icon(const QString &path)
{
    // One QIcon per picture: a project holds tens of thousands of nodes.
    auto it = icons.find(path);
    if (it == icons.end())
        it = icons.insert(path, QIcon(path));
    return it.value();
}
