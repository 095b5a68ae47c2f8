#include "scltagscanner.h"

#include <QIODevice>

#include <cstring>

namespace {

constexpr qint64 ChunkSize = 1 << 20;

bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

const char *find(const char *from, const char *end, const char *pattern, size_t length)
{
    if (end - from < qint64(length))
        return nullptr;
    const char *last = end - length;
    for (const char *p = from; p <= last; ++p) {
        p = static_cast<const char *>(std::memchr(p, pattern[0], size_t(last - p + 1)));
        if (!p)
            return nullptr;
        if (std::memcmp(p, pattern, length) == 0)
            return p;
    }
    return nullptr;
}

enum class Step { Done, NeedMore, Unsure };

// A "<!" construct outside the document element's content model that is
// neither a comment nor CDATA: the DOCTYPE with its internal subset.
Step skipDeclaration(const char *&p, const char *end)
{
    int brackets = 0;
    for (const char *q = p + 2; q < end; ++q) {
        const char c = *q;
        if (c == '"' || c == '\'') {
            q = static_cast<const char *>(std::memchr(q + 1, c, size_t(end - q - 1)));
            if (!q)
                return Step::NeedMore;
        } else if (c == '<' && end - q >= 4 && std::memcmp(q, "<!--", 4) == 0) {
            const char *close = find(q + 4, end, "-->", 3);
            if (!close)
                return Step::NeedMore;
            q = close + 2;
        } else if (c == '[') {
            ++brackets;
        } else if (c == ']') {
            --brackets;
        } else if (c == '>' && brackets <= 0) {
            p = q + 1;
            return Step::Done;
        }
    }
    return Step::NeedMore;
}

} // namespace

SclTagScanner::Result SclTagScanner::scan(QIODevice &device, const QByteArray &tag,
                                          const QByteArray &attribute, const QString &value,
                                          const Candidate &candidate, const Progress &progress)
{
    const QByteArray encodedValue = value.toUtf8();
    const qint64 total = device.size();
    QByteArray buffer;
    qint64 base = device.pos(); // file offset of buffer[0]
    qint64 consumed = 0;        // bytes of buffer already scanned
    int depth = 0;
    bool atEnd = false;

    while (true) {
        // Keep the unscanned tail, append the next chunk.
        buffer.remove(0, int(consumed));
        base += consumed;
        consumed = 0;
        if (!atEnd) {
            const QByteArray chunk = device.read(ChunkSize);
            if (chunk.isEmpty())
                atEnd = true;
            buffer.append(chunk);
            if (progress)
                progress(base + buffer.size(), total);
        }
        const char *const begin = buffer.constData();
        const char *const end = begin + buffer.size();
        const char *p = begin;
        Step step = Step::Done;
        while (p < end) {
            const char *open = static_cast<const char *>(std::memchr(p, '<', size_t(end - p)));
            if (!open) {
                p = end;
                break;
            }
            p = open;
            if (end - p < 2) {
                step = Step::NeedMore;
                break;
            }
            const char c = p[1];
            if (c == '!') {
                if (end - p < 4) {
                    step = Step::NeedMore;
                    break;
                }
                if (std::memcmp(p, "<!--", 4) == 0) {
                    const char *close = find(p + 4, end, "-->", 3);
                    if (!close) {
                        step = Step::NeedMore;
                        break;
                    }
                    p = close + 3;
                } else if (end - p < 9) {
                    step = Step::NeedMore;
                    break;
                } else if (std::memcmp(p, "<![CDATA[", 9) == 0) {
                    const char *close = find(p + 9, end, "]]>", 3);
                    if (!close) {
                        step = Step::NeedMore;
                        break;
                    }
                    p = close + 3;
                } else if (depth == 0) {
                    step = skipDeclaration(p, end);
                    if (step != Step::Done)
                        break;
                } else {
                    step = Step::Unsure;
                    break;
                }
            } else if (c == '?') {
                const char *close = find(p + 2, end, "?>", 2);
                if (!close) {
                    step = Step::NeedMore;
                    break;
                }
                p = close + 2;
            } else if (c == '/') {
                const char *close = static_cast<const char *>(std::memchr(p, '>', size_t(end - p)));
                if (!close) {
                    step = Step::NeedMore;
                    break;
                }
                --depth;
                p = close + 1;
            } else {
                // A start tag: its name, then attributes whose quoted values
                // may hold any character but their quote.
                const char *q = p + 1;
                while (q < end && !isSpace(*q) && *q != '>' && *q != '/')
                    ++q;
                const char *nameEnd = q;
                const char *valueBegin = nullptr;
                const char *valueEnd = nullptr;
                bool empty = false;
                bool complete = false;
                while (q < end) {
                    if (isSpace(*q)) {
                        ++q;
                    } else if (*q == '>') {
                        complete = true;
                        ++q;
                        break;
                    } else if (*q == '/') {
                        if (end - q < 2)
                            break;
                        empty = true;
                        complete = true;
                        q += 2;
                        break;
                    } else {
                        const char *attributeBegin = q;
                        while (q < end && *q != '=' && !isSpace(*q))
                            ++q;
                        const char *attributeEnd = q;
                        while (q < end && *q != '"' && *q != '\'')
                            ++q;
                        if (q >= end)
                            break;
                        const char *close =
                            static_cast<const char *>(std::memchr(q + 1, *q, size_t(end - q - 1)));
                        if (!close)
                            break;
                        if (attributeEnd - attributeBegin == attribute.size() &&
                            std::memcmp(attributeBegin, attribute.constData(),
                                        size_t(attribute.size())) == 0) {
                            valueBegin = q + 1;
                            valueEnd = close;
                        }
                        q = close + 1;
                    }
                }
                if (!complete) {
                    step = Step::NeedMore;
                    break;
                }
                ++depth;
                if (depth >= 2 && nameEnd - p - 1 == tag.size() &&
                    std::memcmp(p + 1, tag.constData(), size_t(tag.size())) == 0) {
                    const QByteArray raw =
                        valueBegin ? QByteArray::fromRawData(valueBegin, int(valueEnd - valueBegin))
                                   : QByteArray();
                    const bool needsDecoding = raw.contains('&') || raw.contains('\t') ||
                                               raw.contains('\n') || raw.contains('\r');
                    if ((needsDecoding || raw == encodedValue) && candidate(base + (p - begin)))
                        return Result::Stopped;
                }
                if (empty)
                    --depth;
                p = q;
            }
        }
        if (step == Step::Unsure)
            return Result::Unsure;
        consumed = p - begin;
        if (atEnd) {
            // A construct left open at the end: the file changed since it was
            // found well-formed.
            return step == Step::NeedMore ? Result::Unsure : Result::Finished;
        }
    }
}
