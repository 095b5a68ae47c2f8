#ifndef STATIONSCOPE_SCLTAGSCANNER_H
#define STATIONSCOPE_SCLTAGSCANNER_H

// Finds start tags in a file already known to be well-formed XML in an
// encoding whose markup is ASCII (UTF-8), many times faster than a full XML
// reader: it only tells markup from text, comments, CDATA and declarations.
// Reading an IED near the end of a large substation file thus costs a scan of
// the bytes before it instead of a second full parse.

#include <QByteArray>
#include <QString>

#include <functional>

class QIODevice;

class SclTagScanner
{
public:
    enum class Result {
        Stopped,  // a candidate said so
        Finished, // the whole file scanned
        Unsure,   // markup the scanner does not follow: read the file another way
    };

    // A start tag at file offset `offset`: return true to stop the scan.
    using Candidate = std::function<bool(qint64 offset)>;
    using Progress = std::function<void(qint64 done, qint64 total)>;

    // Calls candidate for every start tag named tag below the document
    // element whose attribute may equal value (raw texts that need decoding
    // are always passed on).
    static Result scan(QIODevice &device, const QByteArray &tag, const QByteArray &attribute,
                       const QString &value, const Candidate &candidate,
                       const Progress &progress = Progress());
};

#endif
