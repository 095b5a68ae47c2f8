#ifndef STATIONSCOPE_SCLDOCUMENTLOADER_H
#define STATIONSCOPE_SCLDOCUMENTLOADER_H

// Reads SCL files as a stream. A whole substation file in a DOM costs tens of
// times its size in memory, so only what a parse run of one IED reads is kept:
// the type templates and the address parameters of the access points when the
// file is loaded, and the chosen IED's element when it is parsed.
// Tags are compared as written (no namespace processing); like a DOM query
// from the document element, the document element itself is never a match.

#include "scltypeindex.h"

#include <QDomDocument>
#include <QDomElement>
#include <QHash>
#include <QString>
#include <QStringList>
#include <QVector>

#include <functional>

// A "P" element of a ConnectedAP's Address: its "type" and its text.
struct SclAddressParameter
{
    QString type;
    QString text;
};

// One ConnectedAP of an IED as the Communication section lists it.
struct SclConnectedAccessPoint
{
    QString apName;
    bool hasAddress = false;
    QVector<SclAddressParameter> parameters;
};

// The access points of an IED element through which its server is reached.
struct SclServerAccessPoints
{
    QStringList withServer;
    QStringList withServerAt;
};

class SclDocumentLoader
{
public:
    // Guards against files made to exhaust the reader: SCL nests a few dozen
    // levels, and entities of a DOCTYPE multiply what a few bytes of the file
    // become (each reference may expand to thousands of characters).
    static constexpr int MaxElementDepth = 256;
    // Characters that all entity references of a file may add together.
    static constexpr qint64 MaxEntityExpansion = 16 * 1024 * 1024;

    // Called now and then while a file is read: bytes read, file size.
    using ProgressFunction = std::function<void(qint64, qint64)>;
    void setProgressFunction(ProgressFunction function) { progress = std::move(function); }

    // Reads the whole file; false when it cannot be read, is no regular file or
    // is not well-formed XML (or holds markup past the bounds of
    // SclMarkupGuard), and then nothing is kept.
    bool load(const QString &fileName);
    // Why the last load or loadIed failed, with the line where there is one.
    QString errorString() const { return problem; }
    // The qualified name of the document element of the loaded file: "SCL"
    // in an SCL file, though any element is read alike.
    QString documentElementName() const { return rootName; }
    void clear();

    // The "name" of every IED element that has one, in document order.
    const QStringList &iedNames() const { return names; }
    // Holds every LNodeType, DOType and DAType in document order, each with
    // its child nodes only: values and enumerations are never read.
    QDomElement typesRoot() const { return typesDocument.documentElement(); }
    const SclTypeIndex &types() const { return typeIndex; }
    // The P elements of the Address where iedName serves MMS, in document
    // order: those of the ConnectedAP of the access point that holds the
    // IED's Server (else one that holds a ServerAt), else those of the first
    // of its ConnectedAPs that has an Address; null when there is none.
    const QVector<SclAddressParameter> *accessPoint(const QString &iedName) const;
    // A document whose root holds the first IED element named iedName, read
    // again from the file; null when there is none or the file can no longer
    // be read. In a UTF-8 file the IED's start tag is found by a byte scan
    // and only the IED itself goes through the XML reader.
    QDomDocument loadIed(const QString &iedName) const;

private:
    QDomDocument streamIed(const QString &iedName) const;
    void chooseAccessPoints(const QHash<QString, SclServerAccessPoints> &servers,
                            const QHash<QString, QVector<SclConnectedAccessPoint>> &connected);
    enum class Fragment { Read, OtherIed, Failed };
    Fragment readIedAt(qint64 offset, const QString &iedName, QDomDocument &document) const;

    ProgressFunction progress;
    QString fileName;
    mutable QString problem;
    QString rootName;
    // UTF-8 (or ASCII) files can be scanned for an IED's start tag as bytes.
    bool asciiMarkup = false;
    QStringList names;
    QDomDocument typesDocument;
    SclTypeIndex typeIndex;
    QHash<QString, QVector<SclAddressParameter>> accessPoints;
};

#endif
