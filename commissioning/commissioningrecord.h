#ifndef STATIONSCOPE_COMMISSIONINGRECORD_H
#define STATIONSCOPE_COMMISSIONINGRECORD_H

// The commissioning record: one row per point of the project, what the live
// device showed of it and the tester's verdict.

#include "commissioningpoint.h"

#include <QAbstractTableModel>
#include <QDateTime>
#include <QHash>
#include <QStringList>

#include <functional>

struct CommissioningObservation
{
    QString firstValue;
    QString lastValue;
    QString quality;
    bool lastGood = false;
    bool everGood = false;
    // Some value arrived with its quality (a data set member without one does not).
    bool qualityKnown = false;
    // The device's time stamp of the last change (the receipt time when the
    // value carries none).
    QDateTime lastChange;
    int changes = 0;
    QDateTime firstSeen;
    QDateTime lastSeen;
    int verdict = 0; // CommissioningRecord::Verdict
    QString note;
    QDateTime touched;
    // The address of the device the row was last observed on.
    QString deviceAddress;

    bool seen() const { return firstSeen.isValid(); }
};

struct CommissioningSummary
{
    int rows = 0;
    int notTested = 0;
    int passed = 0;
    int failed = 0;
    int neverSeen = 0;
    // Seen with a quality, never a good one.
    int onlyBadQuality = 0;
    // Seen, but never with a quality.
    int qualityUnknown = 0;
    // Report control blocks none of whose rows was ever seen.
    QStringList silentBlocks;

    // "Passed: 3", "Never seen: 2 of 12" ... one a line, for a console or a sheet.
    QStringList lines() const;
};

class CommissioningRecord : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum Column {
        SignalColumn,
        NumberColumn,
        AddressColumn,
        TypeColumn,
        ReferenceColumn,
        ConstraintColumn,
        BindingColumn,
        ArrivalColumn,
        BlockColumn,
        DirectionColumn,
        FirstValueColumn,
        LastValueColumn,
        QualityColumn,
        LastChangeColumn,
        ChangesColumn,
        FirstSeenColumn,
        LastSeenColumn,
        VerdictColumn,
        NoteColumn,
        TouchedColumn,
        ColumnCount
    };
    enum Verdict { NotTested = 0, Passed = 1, Failed = 2 };
    enum Role {
        // Numbers and times as such, for sorting.
        SortRole = Qt::UserRole + 1,
        // bool: the row changed and arrived with good quality, not yet passed.
        PassableRole,
        // int: Verdict.
        VerdictRole,
    };

    // The quality text of a value that arrived without one.
    static const QString UnknownQuality;

    explicit CommissioningRecord(QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    // Verdict (its text or number) and note are editable.
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;

    // Starts over with these points; what was observed and decided is kept
    // for every point whose key stays.
    void setPoints(const CommissioningPoints &points);
    const CommissioningPoints &points() const { return pointList; }
    CommissioningPoint point(int row) const { return pointList.value(row); }
    CommissioningObservation observation(int row) const { return rows.value(row); }
    // Takes a saved observation (CommissioningStore); false for an unknown row.
    bool restore(int row, const CommissioningObservation &observation);
    // The row of a point key, or -1.
    int rowOfKey(const QString &key) const;

    // A value seen on the device; deviceTime may be invalid when it carries
    // none, qualityText UnknownQuality when it came without one.
    void observe(int row, const QString &valueText, const QString &qualityText, bool goodQuality,
                 const QDateTime &deviceTime);
    // The tester's verdict. "Passed" needs a row that was seen; "Failed" may
    // also judge a row never seen; "Not tested" undoes a verdict.
    bool setVerdict(int row, Verdict verdict, const QString &note = QString());
    // Changed at least once and last arrived with good quality; never a
    // command's, which only operating it proves.
    bool isPassable(int row) const;
    // The Test control dialog's outcome of a command row: Passed for a
    // positive one, else Failed, with text as the note.
    bool setCommandOutcome(int row, bool positive, const QString &text);

    CommissioningSummary summary() const;

    QString deviceAddress() const { return address; }
    void setDeviceAddress(const QString &deviceAddress) { address = deviceAddress; }

    static QString verdictText(int verdict);
    // -1 for a text that names no verdict.
    static int verdictFromText(const QString &text);
    // The clock rows are stamped with (UTC); tests set their own.
    void setClock(const std::function<QDateTime()> &clock);

private:
    QVariant displayText(int row, int column) const;
    void touch(int row);
    void emitRowChanged(int row);

    CommissioningPoints pointList;
    QVector<CommissioningObservation> rows;
    QHash<QString, int> rowByKey;
    QString address;
    std::function<QDateTime()> now;
};

#endif
