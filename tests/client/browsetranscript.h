#ifndef STATIONSCOPE_BROWSETRANSCRIPT_H
#define STATIONSCOPE_BROWSETRANSCRIPT_H

// A browse written out in the reference client's format (the *.client.txt
// files of the traces), so the two compare line by line.

#include "iedbrowser.h"

#include <QStringList>

namespace BrowseTranscript {
// From "Logical devices: N" to the last logical node's control blocks.
QStringList lines(const IedBrowseResult &result, bool withAttributes);
// The same part of a reference client's output; attribute lines dropped
// when withAttributes is false.
QStringList referenceLines(const QStringList &clientOutput, bool withAttributes);
// The number of attribute entries a browse listed.
int attributeCount(const IedBrowseResult &result);
} // namespace BrowseTranscript

#endif
