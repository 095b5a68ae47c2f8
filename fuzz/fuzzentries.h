#ifndef STATIONSCOPE_FUZZENTRIES_H
#define STATIONSCOPE_FUZZENTRIES_H

// The bodies of the fuzz targets: each takes arbitrary bytes to one input
// reader of the program. The libFuzzer executables call them, and so does the
// regression test of the normal build with every stored finding.

#include <cstddef>
#include <cstdint>
#include <vector>

using FuzzEntry = void (*)(const uint8_t *data, size_t size);

struct FuzzTarget
{
    const char *name; // also the folder of its corpus and stored findings
    FuzzEntry entry;
};

// Once per process, after the QApplication exists: answers every question of
// the program with its safe choice, so no message box waits for a click.
void fuzzInitialize();
// For LLVMFuzzerInitialize: sets the offscreen platform, creates the
// QApplication and calls fuzzInitialize().
int fuzzInitializeApplication(int *argc, char ***argv);

// SclParser::loadIedNames, then parse of every IED it lists.
void fuzzSclReader(const uint8_t *data, size_t size);
// PlcDataImport::importSignals.
void fuzzSignalList(const uint8_t *data, size_t size);
// WorkbookReader over every sheet, then SclDataExporter::readWorkbook and
// importWorkbook into fresh models.
void fuzzWorkbookReader(const uint8_t *data, size_t size);
// Open Project: connect, upgrade, load the SCL model, the selections and the signals.
void fuzzProjectFile(const uint8_t *data, size_t size);

// Every target, by name. A new target is its entry function, a line here in
// fuzzentries.cpp, a two-function file fuzz_NAME.cpp and a
// stationscope_add_fuzzer line in fuzz/CMakeLists.txt; scripts/fuzz runs every
// target built, and the regression test every folder tests/fuzz/regressions/NAME.
const std::vector<FuzzTarget> &fuzzTargets();

#endif
