#ifndef STATIONSCOPE_COMMISSIONINGRECORD_H
#define STATIONSCOPE_COMMISSIONINGRECORD_H

// The commissioning record: one row per point of the project, what the live
// device showed of it and the tester's verdict.

#include "commissioningpoint.h"

#include <QAbstractTableModel>
#include <QDateTime>
#include <QHash>
#include <QMap>
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
    // A command row operated through Test control (its outcome is the verdict).
    bool operated = false;
    // The device changed: the next value is where the row starts again.
    bool baselineDue = false;

    bool seen() const { return firstSeen.isValid(); }
};

// The device a record was taken on: the address tested and what the device
// says of itself (its name plate), empty where unknown.
struct CommissioningDevice
{
    QString address;
    QString iedName;
    // LLN0.NamPlt.configRev.
    QString configurationRevision;
    // LPHD.PhyNam.
    QString vendor;
    QString model;
    QString serialNumber;

    bool isEmpty() const { return address.isEmpty() && iedName.isEmpty(); }
    // "address 10.0.0.1 → 10.0.0.2", one line per property that tells the
    // devices apart (address, IED name, configuration revision); a property
    // one side does not know tells nothing. Empty for the same device.
    QStringList differencesFrom(const CommissioningDevice &other) const;
};

Q_DECLARE_METATYPE(CommissioningDevice)

// What the last session of a record did, for the summary.
enum class CommissioningSessionOutcome {
    NoneRan,
    NotConnected, // nothing observed
    EndedEarly,   // connected, then lost the device
    Ran,
    Running,
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
    // Report control blocks none of whose rows was ever seen (while a
    // session ran and the block was not refused).
    QStringList silentBlocks;
    // "block (reason)" of the blocks the device refused to give.
    QStringList refusedBlocks;
    CommissioningSessionOutcome outcome = CommissioningSessionOutcome::NoneRan;
    // Why the last session ended early or could not connect.
    QString outcomeCause;

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
    // The tester's verdict. "Passed" needs a row that was seen (a command
    // row one that was operated); "Failed" may
    // also judge a row never seen; "Not tested" undoes a verdict.
    bool setVerdict(int row, Verdict verdict, const QString &note = QString());
    // Changed at least once and last arrived with good quality; never a
    // command's, which only operating it proves.
    bool isPassable(int row) const;
    // Changed at least once, but the device sent no quality with its values
    // (a data set member without one): passable only on the tester's word.
    bool isPassableWithoutQuality(int row) const;
    // The Test control dialog's outcome of a command row at testedAddress:
    // Passed for a positive one, else Failed, with text and the address as
    // the note. It is a verdict, not an observation: values, changes and
    // times stay as sessions saw them.
    bool setCommandOutcome(int row, bool positive, const QString &text,
                           const QString &testedAddress);
    // A block the device refused in a session: named in its rows' notes and
    // in the summary until a session gets it.
    void setBlockRefused(const QString &block, const QString &reason);
    void setBlockDelivered(const QString &block);
    QMap<QString, QString> refusedBlocks() const { return refused; }

    CommissioningSummary summary() const;

    QString deviceAddress() const { return recordDevice.address; }
    void setDeviceAddress(const QString &deviceAddress) { recordDevice.address = deviceAddress; }
    // The device of the record; a row observed on another device starts
    // over from its next value, so a change of device is never a change.
    CommissioningDevice device() const { return recordDevice; }
    void setDevice(const CommissioningDevice &device)
    {
        recordDevice = device;
        emit propertiesChanged();
    }

    // The testing period: from the start of the first session to the end
    // of the last.
    QDateTime testingStarted() const { return started; }
    QDateTime testingEnded() const { return ended; }
    void setTestingPeriod(const QDateTime &start, const QDateTime &end);
    void sessionStarted();
    void sessionEnded(CommissioningSessionOutcome outcome, const QString &cause = QString());
    CommissioningSessionOutcome lastOutcome() const { return outcome; }
    QString lastOutcomeCause() const { return outcomeCause; }
    void setLastOutcome(CommissioningSessionOutcome last, const QString &cause);
    // Forgets every observation, verdict and note (a new record of the same
    // points, the old one kept elsewhere as history).
    void startOver();
    // The record goes on with another device: each row's next value is a
    // new start, never a change.
    void markDeviceChange();

signals:
    // The device, the testing period, the last session or the refused
    // blocks changed: what the summary says beyond the rows.
    void propertiesChanged();

public:
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
    CommissioningDevice recordDevice;
    QMap<QString, QString> refused;
    QDateTime started;
    QDateTime ended;
    CommissioningSessionOutcome outcome = CommissioningSessionOutcome::NoneRan;
    QString outcomeCause;
    std::function<QDateTime()> now;
};

#endif
