#ifndef STATIONSCOPE_TESTPATHS_H
#define STATIONSCOPE_TESTPATHS_H

#include <QString>

// The repository root, e.g. for examples/ and tests/ fixtures.
QString testSourceDir();
// A file below the repository root.
QString sourceFile(const QString &relativePath);
// The shared folder beside the repository (SCL samples, MMS traces), or an
// empty text when it is absent: tests that need it skip with QSKIP_WITHOUT_SHARED.
QString sharedDir();

#define QSKIP_WITHOUT_SHARED()                                                                     \
    do {                                                                                           \
        if (sharedDir().isEmpty())                                                                 \
            QSKIP("the shared folder beside the repository is absent");                            \
    } while (false)

#endif
