#ifndef STATIONSCOPE_COMPARESOURCE_H
#define STATIONSCOPE_COMPARESOURCE_H

// Where the model a project is checked against comes from. The SCL file
// source parses one IED; a live device source lists it over MMS into a tree
// of the same shape and hands that to ModelSnapshot::fromProjectRoot.

#include "modelsnapshot.h"

#include <QString>

#include <memory>

class QStandardItemModel;

class CompareSource
{
public:
    virtual ~CompareSource();
    // The snapshot; false with a one-line reason when nothing could be read.
    virtual bool fetch(ModelSnapshot *snapshot, QString *problem) = 0;
    // Names the source in messages: a file and IED, or an address.
    virtual QString description() const = 0;
};

class SclFileSource : public CompareSource
{
public:
    // An empty iedName takes the IED of the project's name when the file has
    // it, or else the file's only IED.
    SclFileSource(const QString &fileName, const QString &iedName, const QString &projectIed);
    ~SclFileSource() override;

    bool fetch(ModelSnapshot *snapshot, QString *problem) override;
    QString description() const override;

    // The parsed SCL model after a successful fetch (the project update
    // writes it); owned by the source.
    QStandardItemModel *model() const { return parsed.get(); }
    QString iedName() const { return chosenIed; }

private:
    QString fileName;
    QString requestedIed;
    QString projectIed;
    QString chosenIed;
    std::unique_ptr<QStandardItemModel> parsed;
};

#endif
