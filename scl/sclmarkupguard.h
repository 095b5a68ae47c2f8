#ifndef STATIONSCOPE_SCLMARKUPGUARD_H
#define STATIONSCOPE_SCLMARKUPGUARD_H

// Watches the bytes of an SCL file on their way to the XML reader and stops
// at markup no SCL file has: an element with hundreds of attributes (the
// reader's duplicate check costs the square of their count) or names and
// attribute values of megabytes (each copy of them costs that much again).
// It follows markup only as far as needed to tell tags from text, comments,
// CDATA, declarations and processing instructions.

#include <QByteArray>
#include <QString>

class QIODevice;

class SclMarkupGuard
{
public:
    static constexpr int MaxAttributes = 256;
    static constexpr int MaxNameLength = 1024;       // element and attribute names
    static constexpr int MaxAttributeLength = 65536; // bytes of one attribute value

    // False once the bytes fed so far hold markup past a bound; problem() then
    // names it with its line.
    bool feed(const char *data, qint64 size);
    bool refused() const { return !problemText.isEmpty(); }
    QString problem() const { return problemText; }

    // Reads the whole device from its current position; false with the
    // problem when it holds markup past a bound or cannot be read.
    static bool check(QIODevice &device, QString *problem);

private:
    enum class State {
        Text,
        Open, // after '<'
        ElementName,
        InTag,
        AttributeName,
        Value,
        EndTag,
        Bang, // after "<!", telling a comment, CDATA or declaration
        Comment,
        CData,
        Declaration,
        DeclarationValue,
        Instruction,
    };

    void step(char c);
    void refuse(const QString &text);

    State state = State::Text;
    qint64 line = 1;
    qint64 tagLine = 1;
    int attributes = 0;
    int nameLength = 0;
    int valueLength = 0;
    char quote = 0;
    QByteArray bang;          // the bytes after "<!" while telling their kind
    QByteArray attributeName; // its first bytes, for the message
    unsigned short last = 0;  // the two bytes before, for "-->", "]]>" and "?>"
    // UTF-16 files are followed by code unit; units past ASCII count as name bytes.
    int unitWidth = 0; // 0 until the first bytes are seen
    bool bigEndian = false;
    int pendingByte = -1;
    QString problemText;
};

#endif
