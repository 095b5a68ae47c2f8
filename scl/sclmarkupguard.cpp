#include "sclmarkupguard.h"

#include <QIODevice>

namespace {

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

} // namespace

void SclMarkupGuard::refuse(const QString &text)
{
    if (problemText.isEmpty())
        problemText = text;
}

bool SclMarkupGuard::feed(const char *data, qint64 size)
{
    qint64 i = 0;
    if (unitWidth == 0 && size > 0) {
        if (size >= 2 && ((uchar(data[0]) == 0xFF && uchar(data[1]) == 0xFE) ||
                          (uchar(data[0]) == 0xFE && uchar(data[1]) == 0xFF))) {
            unitWidth = 2;
            bigEndian = uchar(data[0]) == 0xFE;
            i = 2;
        } else {
            unitWidth = 1;
        }
    }
    for (; i < size && !refused(); ++i) {
        if (unitWidth == 1) {
            step(data[i]);
            continue;
        }
        if (pendingByte < 0) {
            pendingByte = uchar(data[i]);
            continue;
        }
        const unsigned unit = bigEndian ? (unsigned(pendingByte) << 8) | uchar(data[i])
                                        : (unsigned(uchar(data[i])) << 8) | unsigned(pendingByte);
        pendingByte = -1;
        step(unit < 0x80 ? char(unit) : 'x');
    }
    return !refused();
}

void SclMarkupGuard::step(char c)
{
    if (c == '\n')
        ++line;
    const unsigned short before = last;
    last = (unsigned short)((last << 8) | uchar(c));
    switch (state) {
    case State::Text:
        if (c == '<') {
            state = State::Open;
            tagLine = line;
        }
        return;
    case State::Open:
        if (c == '!') {
            state = State::Bang;
            bang.clear();
        } else if (c == '?') {
            state = State::Instruction;
            last = 0;
        } else if (c == '/') {
            state = State::EndTag;
        } else {
            state = State::ElementName;
            attributes = 0;
            nameLength = 1;
        }
        return;
    case State::ElementName:
        if (isBlank(c) || c == '/') {
            state = State::InTag;
        } else if (c == '>') {
            state = State::Text;
        } else if (++nameLength > MaxNameLength) {
            refuse(QStringLiteral("line %1: an element name longer than %2 characters")
                       .arg(tagLine)
                       .arg(MaxNameLength));
        }
        return;
    case State::InTag:
        if (c == '>') {
            state = State::Text;
        } else if (c == '"' || c == '\'') {
            state = State::Value;
            quote = c;
            valueLength = 0;
        } else if (!isBlank(c) && c != '/' && c != '=') {
            if (++attributes > MaxAttributes) {
                refuse(QStringLiteral("line %1: an element with more than %2 attributes")
                           .arg(tagLine)
                           .arg(MaxAttributes));
                return;
            }
            state = State::AttributeName;
            nameLength = 1;
            attributeName = QByteArray(1, c);
        }
        return;
    case State::AttributeName:
        if (isBlank(c) || c == '=') {
            state = State::InTag;
        } else if (c == '>') {
            state = State::Text;
        } else if (++nameLength > MaxNameLength) {
            refuse(QStringLiteral("line %1: an attribute name longer than %2 characters")
                       .arg(line)
                       .arg(MaxNameLength));
        } else if (attributeName.size() < 64) {
            attributeName += c;
        }
        return;
    case State::Value:
        if (c == quote) {
            state = State::InTag;
        } else if (++valueLength > MaxAttributeLength) {
            refuse(QStringLiteral("line %1: attribute \"%2\" is longer than %3 characters")
                       .arg(tagLine)
                       .arg(QString::fromLatin1(attributeName))
                       .arg(MaxAttributeLength));
        }
        return;
    case State::EndTag:
        if (c == '>')
            state = State::Text;
        return;
    case State::Bang:
        bang += c;
        if (bang == "--") {
            state = State::Comment;
            last = 0;
        } else if (bang == "[CDATA[") {
            state = State::CData;
            last = 0;
        } else if (!QByteArray("--").startsWith(bang) && !QByteArray("[CDATA[").startsWith(bang)) {
            state = State::Declaration;
            if (c == '>')
                state = State::Text;
            else if (c == '"' || c == '\'')
                state = State::DeclarationValue, quote = c;
        }
        return;
    case State::Comment:
        if (c == '>' && before == (('-' << 8) | '-'))
            state = State::Text;
        return;
    case State::CData:
        if (c == '>' && before == ((']' << 8) | ']'))
            state = State::Text;
        return;
    case State::Declaration:
        if (c == '>')
            state = State::Text;
        else if (c == '"' || c == '\'')
            state = State::DeclarationValue, quote = c;
        return;
    case State::DeclarationValue:
        if (c == quote)
            state = State::Declaration;
        return;
    case State::Instruction:
        if (c == '>' && (before & 0xFF) == '?')
            state = State::Text;
        return;
    }
}

bool SclMarkupGuard::check(QIODevice &device, QString *problem)
{
    SclMarkupGuard guard;
    QByteArray block(1 << 16, Qt::Uninitialized);
    for (;;) {
        const qint64 read = device.read(block.data(), block.size());
        if (read < 0) {
            *problem = device.errorString();
            return false;
        }
        if (read == 0)
            return true;
        if (!guard.feed(block.constData(), read)) {
            *problem = guard.problem();
            return false;
        }
    }
}
