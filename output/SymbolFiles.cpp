// The output pass: one walk over the leaves records a compact entry per
// written leaf; the files are then made from these entries and handed,
// chunk by chunk, to the sink.
#include "output/SymbolFiles.h"

#include "output/CanapeDatabase.h"
#include "output/FileSink.h"
#include "output/LeafLines.h"
#include "output/RecordedLeaves.h"
#include "output/StyleWarningLines.h"
#include "reader/Concurrently.h"
#include "reader/DwarfDatabase.h"

namespace {

std::size_t index(SymbolFile which) { return static_cast<std::size_t>(which); }

/// Makes file \p which from \p recorded and hands it to \p sink.
bool storeFile(const RecordedLeaves &recorded, SymbolFile which, SymbolFileSink &sink) {
  const std::size_t leafCount = recorded.leaves.size();
  LeafLines lines(recorded);
  switch (which) {
  case SymbolFile::M51: {
    LineText m51({}, leafCount, [&](std::string &out, std::size_t i) { lines.appendM51(out, i); });
    return sink.store(which, m51);
  }
  case SymbolFile::StyleWarnings: {
    // The duplicate-name warnings, then a warning per variable left out at
    // address 0.
    LineText log(recorded.duplicates.log(), recorded.atAddressZero.size(),
                 [&recorded](std::string &out, std::size_t i) {
                   const RecordedLeaves::LeftOutVariable &variable = recorded.atAddressZero[i];
                   appendAddressZeroWarning(out, variable.name, variable.place);
                 });
    return sink.store(which, log);
  }
  case SymbolFile::Canape:
    break;
  }
  std::string header;
  appendCanapeHeader(header);
  LineText canape(header, leafCount, [&](std::string &out, std::size_t i) { lines.appendCanape(out, i); });
  return sink.store(which, canape);
}

} // namespace

SymbolFilesResult produceSymbolFiles(const DwarfDatabase &database, bool withCanape, SymbolFileSink &sink,
                                     std::size_t leafCap, const NameTrace &trace) {
  RecordedLeaves recorded(database.isLittleEndian());
  const bool allLeaves = expandLocatedVariables(database, recorded, leafCap, trace);

  // Indexed by SymbolFile; a file not written counts as stored.
  bool stored[3] = {true, true, true};
  // The files only read the records: the map (then the duplicate check,
  // which only the log needs, and the log) and the CANape database are made
  // and written at the same time.
  runConcurrently(withCanape ? 2 : 1, [&](std::size_t job) {
    if (job == 1) {
      stored[index(SymbolFile::Canape)] = storeFile(recorded, SymbolFile::Canape, sink);
      return;
    }
    stored[index(SymbolFile::M51)] = storeFile(recorded, SymbolFile::M51, sink);
    recorded.duplicates.finish();
    if (recorded.hasStyleWarnings())
      stored[index(SymbolFile::StyleWarnings)] = storeFile(recorded, SymbolFile::StyleWarnings, sink);
  });
  // Every file is made: those stored go into place together.
  for (const SymbolFile which : kSymbolFiles)
    if (stored[index(which)]) stored[index(which)] = sink.commit(which);
  // On a nearly full disk, the temporary copy of another file may have
  // taken the room a file needed: a file that failed is tried once more on
  // its own, now that the others are in place.
  for (const SymbolFile which : kSymbolFiles)
    if (!stored[index(which)]) stored[index(which)] = storeFile(recorded, which, sink) && sink.commit(which);

  SymbolFilesResult result;
  for (const SymbolFile which : kSymbolFiles)
    if (!stored[index(which)]) result.failedFiles.push_back(sink.nameOf(which));
  result.leavesCut = !allLeaves;
  result.leafCap = leafCap;
  result.variablesAtAddressZero = recorded.atAddressZero.size();
  return result;
}

SymbolFilesResult writeSymbolFiles(const std::string &m51FileName, const std::string &canapeFileName,
                                   const DwarfDatabase &database, const NameTrace &trace) {
  FileSink sink(m51FileName, canapeFileName);
  return produceSymbolFiles(database, !canapeFileName.empty(), sink, kLeafCap, trace);
}
