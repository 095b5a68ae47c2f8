#ifndef STATIONSCOPE_UNSAVEDCHANGESTRACKER_H
#define STATIONSCOPE_UNSAVEDCHANGESTRACKER_H

#include <QObject>
#include <QString>

class QAbstractItemModel;

// Knows whether the watched models changed since the document was last
// loaded, saved or closed, and asks the engineer what to do with such changes.
class UnsavedChangesTracker : public QObject
{
    Q_OBJECT

public:
    enum Choice { Save, Discard, Cancel };

    explicit UnsavedChangesTracker(QObject *parent = nullptr);

    // Any row inserted or removed, or any cell changed, in model counts; the
    // live values of a data set selection do not.
    void watch(QAbstractItemModel *model);
    bool isModified() const { return modified; }

    // "Save changes to NAME?"; without canSave only Discard or Cancel.
    static Choice askToSave(const QString &name, bool canSave);

public slots:
    // The watched models now match the document on disk (or there is none).
    void reset();

signals:
    void modifiedChanged(bool modified);

private:
    void markModified();

    bool modified = false;
};

#endif
