#ifndef STATIONSCOPE_SCLGENERATOR_H
#define STATIONSCOPE_SCLGENERATOR_H

// Writes synthetic substation files for the parser benchmark. The output
// depends only on the parameters, so figures of different runs compare.

#include <QString>

struct SclGeneratorOptions
{
    int iedCount = 600;
    // Logical node instances of each kind per logical device; sets the size of
    // one IED (about 100 kB with the default).
    int lnInstances = 16;
    // IED families, each with its own copy of the type templates, as files
    // merged from several vendors' tools have.
    int templateFamilies = 8;
    // Further buffered report control blocks per logical device, each on a
    // data set of two logical nodes, as vendor IEDs carry dozens of small ones.
    int smallReportBlocks = 0;
    // Report control blocks per IED, spread over its three logical devices
    // with data sets (three each at least).
    int reportControls = 9;
    // Habits of vendor files: every logical device with data sets also gets a
    // data set whose name holds '$' ("CSWI1$ST") and this many report control
    // blocks on it without RptEnabled.
    int vendorReportBlocks = 0;
};

class SclGenerator
{
public:
    static bool write(const QString &fileName, const SclGeneratorOptions &options);
    static QString iedName(int index);
};

#endif
