#ifndef STATIONSCOPE_MMSVALUE_H
#define STATIONSCOPE_MMSVALUE_H

// One MMS data value: a scalar, or a structure or array of values. The type
// numbers and names are those of libiec61850's MmsValue.

#include <QByteArray>
#include <QString>
#include <QVector>

#include <vector>

enum class MmsType {
    Array = 0,
    Structure = 1,
    Boolean = 2,
    BitString = 3,
    Integer = 4,
    Unsigned = 5,
    Float = 6,
    OctetString = 7,
    VisibleString = 8,
    GeneralizedTime = 9,
    BinaryTime = 10,
    Bcd = 11,
    ObjId = 12,
    String = 13,
    UtcTime = 14,
    DataAccessError = 15,
};

// "boolean", "integer", "bit-string" ...; "unknown(error)" outside the enum.
QString mmsTypeName(MmsType type);

// IEC 61850 quality as libiec61850's Quality: bit n of the bit string is 1 << n.
namespace Quality {
enum : quint16 {
    ValidityGood = 0,
    ValidityReserved = 1,
    ValidityInvalid = 2,
    ValidityQuestionable = 3,
    ValidityMask = 3,
    Overflow = 4,
    OutOfRange = 8,
    BadReference = 16,
    Oscillatory = 32,
    Failure = 64,
    OldData = 128,
    Inconsistent = 256,
    Inaccurate = 512,
    SourceSubstituted = 1024,
    Test = 2048,
    OperatorBlocked = 4096,
    Derived = 8192,
};
// "good", "invalid|failure|oldData", "questionable|substituted|test" ...
QString text(quint16 quality);
} // namespace Quality

// The time quality octet of a UTC time stamp.
namespace TimeQuality {
enum : quint8 {
    LeapSecondKnown = 0x80,
    ClockFailure = 0x40,
    ClockNotSynchronized = 0x20,
    AccuracyMask = 0x1f, // significant bits of the fraction; 31 unspecified
};
// "leap-second-known|not-synchronized|accuracy 10"; empty for 0.
QString text(quint8 timeQuality);
} // namespace TimeQuality

class MmsValue
{
public:
    MmsValue() = default; // a null value: no type

    static MmsValue boolean(bool value);
    static MmsValue integer(qint64 value);
    static MmsValue unsignedInteger(quint64 value);
    static MmsValue floatingPoint(float value);
    static MmsValue doubleFloatingPoint(double value);
    // bitCount bits, bit 0 being the most significant bit of bits[0].
    static MmsValue bitString(const QByteArray &bits, int bitCount);
    static MmsValue octetString(const QByteArray &octets);
    static MmsValue visibleString(const QByteArray &text);
    static MmsValue mmsString(const QString &text);
    // The 8 octets of an IEC 61850 time stamp.
    static MmsValue utcTime(const QByteArray &octets);
    static MmsValue utcTimeFromMs(quint64 msSinceEpoch, quint8 quality = 0);
    // 4 octets (time of day) or 6 (with the day since 1984-01-01).
    static MmsValue binaryTime(const QByteArray &octets);
    // The 6-octet form with the date; times before 1984 give its epoch.
    static MmsValue binaryTimeFromMs(quint64 msSinceEpoch);
    static MmsValue generalizedTime(const QByteArray &text);
    static MmsValue bcd(qint64 value);
    static MmsValue objId(const QVector<quint32> &arcs);
    static MmsValue structure(std::vector<MmsValue> elements);
    static MmsValue array(std::vector<MmsValue> elements);
    static MmsValue dataAccessError(int code);

    bool isNull() const { return !valid; }
    MmsType type() const { return kind; }
    QString typeString() const { return mmsTypeName(kind); }

    // Structure and array members; a null value outside the range.
    int elementCount() const { return int(members.size()); }
    MmsValue element(int index) const;
    const std::vector<MmsValue> &elements() const { return members; }

    bool boolean() const;
    qint32 toInt32() const;
    quint32 toUint32() const;
    qint64 toInt64() const;
    quint64 toUint64() const;
    float toFloat() const;
    double toDouble() const;
    bool isDouble() const { return doublePrecision; }
    // Bit n of the string is bit n of the number (bits beyond 31 are dropped).
    quint32 bitStringAsInteger() const;
    int bitStringSize() const;
    bool bitStringBit(int index) const;
    // The raw octets of bit strings, octet strings, strings and times.
    QByteArray octets() const { return raw; }
    QString toString() const;
    quint64 utcTimeMs() const;
    // The time quality octet of a UTC time; 0 for other values.
    quint8 utcTimeQuality() const;
    // "2026-12-07 15:17:02.939 UTC", with the time quality in brackets when set.
    QString utcTimeText() const;
    // The bit string of a quality attribute as libiec61850's Quality.
    quint16 toQuality() const;
    quint64 binaryTimeMs() const;
    QVector<quint32> objIdArcs() const;
    int dataAccessErrorCode() const;

    // A one-line rendering: "{0.946300,0000000000000,20261207073301.148Z}".
    QString toText() const;

    bool operator==(const MmsValue &other) const;
    bool operator!=(const MmsValue &other) const { return !(*this == other); }

private:
    explicit MmsValue(MmsType type) : kind(type), valid(true) {}

    MmsType kind = MmsType::DataAccessError;
    bool valid = false;
    bool doublePrecision = false;
    qint64 signedNumber = 0;
    quint64 unsignedNumber = 0;
    double floating = 0;
    int bits = 0;
    QByteArray raw;
    std::vector<MmsValue> members;
};

#endif
