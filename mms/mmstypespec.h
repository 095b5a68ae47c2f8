#ifndef STATIONSCOPE_MMSTYPESPEC_H
#define STATIONSCOPE_MMSTYPESPEC_H

// The type of an MMS variable as getVariableAccessAttributes describes it:
// scalars with their sizes, structures of named components, arrays.

#include "mmsvalue.h"

#include <QString>
#include <QStringList>

#include <vector>

class MmsTypeSpec
{
public:
    MmsTypeSpec() = default; // a structure without components

    static MmsTypeSpec boolean();
    // Sizes below zero mean "up to |size|" (bits, octets or characters).
    static MmsTypeSpec bitString(int size);
    static MmsTypeSpec integer(int bits);
    static MmsTypeSpec unsignedInteger(int bits);
    static MmsTypeSpec floatingPoint(int formatWidth = 32, int exponentWidth = 8);
    static MmsTypeSpec octetString(int size);
    static MmsTypeSpec visibleString(int size);
    static MmsTypeSpec mmsString(int size);
    static MmsTypeSpec generalizedTime();
    static MmsTypeSpec binaryTime(bool withDate);
    static MmsTypeSpec bcd(int digits);
    static MmsTypeSpec objId();
    static MmsTypeSpec utcTime();
    static MmsTypeSpec structure();
    static MmsTypeSpec array(int count, const MmsTypeSpec &element);

    MmsType type() const { return kind; }
    // Bits, octets, characters or digits; the format width of a float.
    int size() const { return length; }
    int exponentWidth() const { return exponent; }
    bool withDate() const { return length != 0; } // binary time

    int componentCount() const { return int(components.size()); }
    QString componentName(int index) const { return names.value(index); }
    const MmsTypeSpec &component(int index) const { return components[size_t(index)]; }
    int indexOf(const QString &name) const { return names.indexOf(name); }
    void addComponent(const QString &name, const MmsTypeSpec &type);

    int elementCount() const { return kind == MmsType::Array ? length : 0; }
    const MmsTypeSpec &element() const { return components.front(); } // arrays only

    // A value of this type: zero, false, empty, the epoch; structures and
    // arrays filled likewise.
    MmsValue defaultValue() const;

    bool operator==(const MmsTypeSpec &other) const;
    bool operator!=(const MmsTypeSpec &other) const { return !(*this == other); }

private:
    MmsTypeSpec(MmsType type, int size, int exponentWidth = 0)
        : kind(type), length(size), exponent(exponentWidth)
    {
    }

    MmsType kind = MmsType::Structure;
    int length = 0;
    int exponent = 0;
    QStringList names;
    std::vector<MmsTypeSpec> components;
};

#endif
