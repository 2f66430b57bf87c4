// The output pass: one walk over the leaves records a compact entry per
// written leaf; the files are made from these entries on threads of their
// own while the walk goes on, and handed, chunk by chunk, to the files on
// disk or to texts in memory.
#include "output/SymbolFiles.h"

#include "output/BlockVector.h"
#include "output/CanapeDatabase.h"
#include "output/DuplicateCheck.h"
#include "output/FileTexts.h"
#include "output/LeafFeed.h"
#include "output/M51Map.h"
#include "output/ReplacementFile.h"
#include "output/StyleWarningLines.h"
#include "output/SymbolExpansion.h"
#include "output/TypeClassification.h"
#include "reader/DwarfDatabase.h"

#include <cstddef>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <string_view>
#include <system_error>
#include <thread>
#include <unordered_map>
#include <vector>

namespace {

/// What the files need of one written leaf besides its output name, which
/// the duplicate check keeps. A CANape line is about 240 bytes and a map line
/// about 70; this entry is 8, so a dump with millions of leaves does not hold
/// its whole files in memory.
struct WrittenLeaf {
  std::uint32_t address;
  /// The leaf's type in the pass's table of distinct types.
  std::uint32_t type;
};

/// The distinct leaf types of a pass, numbered in the order they first
/// occur. A dump has a few dozen of them (byte sizes, signedness, bit-field
/// shapes) against millions of leaves.
class LeafTypeTable {
public:
  std::uint32_t numberOf(const LeafType &type) {
    // Neighbouring leaves (the elements of an array, the members of a
    // structure) mostly share their type.
    if (!types_.empty() && types_[last_] == type) return last_;
    const auto found = numbers_.find(type);
    if (found != numbers_.end()) return last_ = found->second;
    last_ = static_cast<std::uint32_t>(types_.size());
    types_.push_back(type);
    numbers_.emplace(type, last_);
    return last_;
  }
  const LeafType &operator[](std::uint32_t number) const { return types_[number]; }

private:
  struct Hash {
    std::size_t operator()(const LeafType &type) const {
      std::uint64_t h = static_cast<std::uint32_t>(type.byteSize);
      h = h * 0x9E3779B97F4A7C15u + static_cast<std::uint32_t>(type.bitOffset);
      h = h * 0x9E3779B97F4A7C15u + static_cast<std::uint32_t>(type.bitSize);
      h = h * 0x9E3779B97F4A7C15u + (type.isSigned ? 1u : 0u);
      return static_cast<std::size_t>(h ^ (h >> 32));
    }
  };
  /// In blocks that never move: the files' makers read it while new types
  /// are added.
  BlockVector<LeafType> types_;
  std::unordered_map<LeafType, std::uint32_t, Hash> numbers_;
  std::uint32_t last_ = 0;
};

/// Records each leaf as it comes out of the expansion: its entry for the
/// files and one step of the duplicate check.
class OutputPass final : public LeafSink {
public:
  explicit OutputPass(bool littleEndian) : littleEndian(littleEndian) {}

  void addLeaf(const SymbolRecord &leaf) override {
    // Pieces reached through a const qualifier cannot be calibrated: they go
    // into no file and take no part in the duplicate check.
    if (leaf.isConst) return;
    const LeafType type = LeafType::of(leaf);
    name_.clear();
    appendOutputName(name_, leaf.symbolName, type, littleEndian);
    duplicates.check(name_, leaf.declLocation);
    leaves.push_back(WrittenLeaf{leaf.address, types.numberOf(type)});
    if (leaves.size() % LeafFeed::kBatch == 0) {
      if (leaves.size() == LeafFeed::kBatch) firstBatch();
      feed.publish(leaves.size());
    }
  }
  bool takesConstLeaves() const override { return false; }
  void addVariableAtAddressZero(const SymbolRecord &variable) override {
    atAddressZero.push_back(LeftOutVariable{variable.symbolName, variable.declLocation});
  }

  /// Whether the pass has a log to write; only once the expansion is done.
  bool hasStyleWarnings() const { return duplicates.foundDuplicate() || !atAddressZero.empty(); }

  const bool littleEndian;
  /// In blocks that never move: a million leaves are written once, not
  /// copied at every doubling.
  BlockVector<WrittenLeaf> leaves;
  LeafTypeTable types;
  DuplicateCheck duplicates;
  /// Hands the leaves on to the files' makers as they are recorded.
  LeafFeed feed;
  /// Called when the first batch of leaves is recorded.
  std::function<void()> firstBatch = [] {};
  struct LeftOutVariable {
    std::string name;
    std::string place;
  };
  /// The variables at address 0, in the order they were met. Filled by the
  /// expansion; the log is made from it after the expansion's end.
  std::vector<LeftOutVariable> atAddressZero;

private:
  /// Reused from leaf to leaf.
  std::string name_;
};

/// Makes the lines of one file from the leaves the pass has handed on. Each
/// file has a maker of its own, with its own place in the names and its own
/// type texts, so that two files can be made at once; the pass is only
/// read.
class LineMaker {
public:
  explicit LineMaker(const OutputPass &pass) : pass_(pass), names_(pass.duplicates.names()) {}

  /// Appends the map line of leaf number \p i.
  void appendM51(std::string &out, std::size_t i) { appendM51Line(out, classify(i), classification_); }
  /// Appends the CANape line of leaf number \p i.
  void appendCanape(std::string &out, std::size_t i) { appendCanapeLine(out, classify(i), classification_); }

private:
  /// Fills classification_ for leaf number \p i; returns its address.
  std::uint32_t classify(std::size_t i) {
    const WrittenLeaf &leaf = pass_.leaves[i];
    // Neighbouring leaves mostly share their type texts.
    if (leaf.type != classifiedType_) {
      classifyType(pass_.types[leaf.type], pass_.littleEndian, classification_);
      classifiedType_ = leaf.type;
    }
    // The lines are made in leaf order: each name is one step on.
    if (names_.position() != i) names_.seek(i);
    classification_.outputName.assign(names_.next());
    return leaf.address;
  }

  static constexpr std::uint32_t kNoType = UINT32_MAX;

  const OutputPass &pass_;
  LeafNameStore::Cursor names_;
  LeafClassification classification_;
  /// The type whose texts classification_ holds, kNoType before the first.
  std::uint32_t classifiedType_ = kNoType;
};

/// Lines are made into a buffer of this size, which is handed on whenever
/// it is full. A small buffer stays in the cache and is reused: a megabyte
/// would cost a page fault per 4 KiB on every file of a small run.
constexpr std::size_t kChunkSize = std::size_t{64} << 10;

/// The whole text of one file, made chunk by chunk: \p head followed by the
/// lines that \p appendLine makes for 0, 1, 2, ... as long as \p lineCount
/// says there are more. lineCount(next) returns the number of lines there
/// are: more than next, or next itself at the end; it may wait for them.
template <class LineCount, class AppendLine> class LineText final : public SymbolFileText {
public:
  LineText(std::string_view head, LineCount lineCount, AppendLine appendLine)
      : head_(head), lineCount_(lineCount), appendLine_(appendLine) {}

  bool nextChunk(std::string &chunk) override {
    if (done_) return false;
    chunk.clear();
    if (next_ == 0) chunk.append(head_);
    while (chunk.size() < kChunkSize) {
      if (next_ == known_) {
        known_ = lineCount_(next_);
        if (next_ == known_) {
          done_ = true;
          break;
        }
      }
      appendLine_(chunk, next_++);
    }
    return true;
  }

private:
  std::string_view head_;
  LineCount lineCount_;
  AppendLine appendLine_;
  std::size_t next_ = 0;
  /// The lines known to be there.
  std::size_t known_ = 0;
  bool done_ = false;
};

template <class LineCount, class AppendLine>
LineText<LineCount, AppendLine> lineText(std::string_view head, LineCount lineCount, AppendLine appendLine) {
  return LineText<LineCount, AppendLine>(head, lineCount, appendLine);
}

/// Writes each text to a temporary file, which commit() renames over the
/// file, so that a file is either replaced whole or left as it was. A file
/// that cannot be created or fully written (a missing or read-only
/// directory, a full disk) fails alone; the other files are still tried.
/// Temporary files not put in place are removed with the sink.
class FileSink final : public SymbolFileSink {
public:
  FileSink(const std::string &m51FileName, const std::string &canapeFileName)
      : m51FileName_(m51FileName), canapeFileName_(canapeFileName) {}

  bool store(SymbolFile which, SymbolFileText &text) override {
    // Each file is stored by one thread; each has a slot of its own.
    waiting_[index(which)] = writeWhole(nameOf(which), text);
    return waiting_[index(which)] != nullptr;
  }
  bool commit(SymbolFile which) override {
    const std::unique_ptr<ReplacementFile> file = std::move(waiting_[index(which)]);
    return file == nullptr || file->commit();
  }
  std::string nameOf(SymbolFile which) const override {
    switch (which) {
    case SymbolFile::StyleWarnings:
      return m51FileName_ + std::string(FileTexts::kStyleWarningsSuffix);
    case SymbolFile::Canape:
      return canapeFileName_;
    case SymbolFile::M51:
      break;
    }
    return m51FileName_;
  }

private:
  static std::size_t index(SymbolFile which) { return static_cast<std::size_t>(which); }

  /// The whole text in a closed temporary file; null when it could not be.
  static std::unique_ptr<ReplacementFile> writeWhole(const std::string &fileName, SymbolFileText &text) {
    auto file = std::make_unique<ReplacementFile>(fileName);
    if (!file->isOpen()) return nullptr;
    std::string chunk;
    chunk.reserve(kChunkSize + 4096);
    while (text.nextChunk(chunk))
      if (!file->write(chunk)) return nullptr;
    if (!file->close()) return nullptr;
    return file;
  }

  const std::string &m51FileName_;
  const std::string &canapeFileName_;
  /// Indexed by SymbolFile: the files stored and not yet put in place.
  std::unique_ptr<ReplacementFile> waiting_[3];
};

/// Keeps each text in memory.
class MemorySink final : public SymbolFileSink {
public:
  explicit MemorySink(SymbolTexts &texts) : texts_(texts) {}

  bool store(SymbolFile which, SymbolFileText &text) override {
    std::string &target = which == SymbolFile::M51      ? texts_.m51
                          : which == SymbolFile::Canape ? texts_.canape
                                                        : texts_.styleWarnings;
    if (which == SymbolFile::StyleWarnings) texts_.hasStyleWarnings = true;
    target.clear();
    std::string chunk;
    while (text.nextChunk(chunk))
      target.append(chunk);
    return true;
  }
  /// A text is named after its member of SymbolTexts (storing one never
  /// fails).
  std::string nameOf(SymbolFile which) const override {
    return which == SymbolFile::M51 ? "m51" : which == SymbolFile::Canape ? "canape" : "styleWarnings";
  }

private:
  SymbolTexts &texts_;
};

/// Jobs on threads of their own, beside the calling thread. The jobs are
/// added first and started together by launch(); a job that was never
/// started, or whose thread could not be started, runs in join(), on the
/// calling thread.
class HelperThreads {
public:
  HelperThreads() = default;
  HelperThreads(const HelperThreads &) = delete;
  HelperThreads &operator=(const HelperThreads &) = delete;
  ~HelperThreads() { joinThreads(); }

  void add(std::function<void()> job) {
    auto slot = std::make_unique<Slot>();
    slot->job = std::move(job);
    slots_.push_back(std::move(slot));
  }

  /// Starts a thread for each job added.
  void launch() {
    for (const auto &slot : slots_) {
      Slot &started = *slot;
      if (started.thread.joinable()) continue;
      try {
        started.thread = std::thread([&started] {
          try {
            started.job();
          } catch (...) {
            started.failure = std::current_exception();
          }
        });
      } catch (const std::system_error &) {
        // No thread to be had: the job waits for join().
      }
    }
  }

  /// Waits for the jobs on threads, then runs those that got none, in the
  /// order they were started; rethrows the first job's failure. True when
  /// every job had a thread of its own.
  bool join() {
    joinThreads();
    bool allOnThreads = true;
    for (const auto &slot : slots_) {
      if (slot->ran) continue;
      allOnThreads = false;
      slot->job();
    }
    for (const auto &slot : slots_)
      if (slot->failure) std::rethrow_exception(slot->failure);
    return allOnThreads;
  }

  /// Waits for the jobs on threads only.
  void joinThreads() noexcept {
    for (const auto &slot : slots_) {
      if (!slot->thread.joinable()) continue;
      slot->thread.join();
      slot->ran = true;
    }
  }

private:
  struct Slot {
    std::function<void()> job;
    std::thread thread;
    std::exception_ptr failure;
    bool ran = false;
  };
  /// Each slot stays where it is while its thread runs.
  std::vector<std::unique_ptr<Slot>> slots_;
};

} // namespace

SymbolFilesResult produceSymbolFiles(const DwarfDatabase &database, bool withCanape, SymbolFileSink &sink,
                                     std::size_t leafCap, const NameTrace &trace) {
  OutputPass pass(database.isLittleEndian());
  // The leaves there are: those handed on so far, all of them at the end.
  const auto leafCount = [&pass](std::size_t next) { return pass.feed.waitFor(next); };
  const auto store = [&](SymbolFile which) {
    LineMaker maker(pass);
    switch (which) {
    case SymbolFile::M51: {
      auto m51 = lineText({}, leafCount, [&](std::string &out, std::size_t i) { maker.appendM51(out, i); });
      return sink.store(which, m51);
    }
    case SymbolFile::StyleWarnings: {
      // The duplicate-name warnings, then a warning per variable left out
      // at address 0.
      auto log = lineText(
          pass.duplicates.log(), [&pass](std::size_t) { return pass.atAddressZero.size(); },
          [&pass](std::string &out, std::size_t i) {
            appendAddressZeroWarning(out, pass.atAddressZero[i].name, pass.atAddressZero[i].place);
          });
      return sink.store(which, log);
    }
    case SymbolFile::Canape:
      break;
    }
    std::string header;
    appendCanapeHeader(header);
    auto canape =
        lineText(header, leafCount, [&](std::string &out, std::size_t i) { maker.appendCanape(out, i); });
    return sink.store(which, canape);
  };

  // Indexed by SymbolFile; a file not written counts as stored.
  bool stored[3] = {true, true, true};
  const auto index = [](SymbolFile which) { return static_cast<std::size_t>(which); };
  // The files share only the pass, which they read: the map (then the
  // duplicate check and the log) and the CANape database are made and
  // written each on a thread of its own, from the leaves the expansion has
  // handed on so far, while it finds the next ones. The threads start with
  // the first batch of leaves: a small dump's files are made after its
  // expansion, on this thread, where starting two threads would cost more
  // than it saves.
  HelperThreads helpers;
  helpers.add([&] {
    stored[index(SymbolFile::M51)] = store(SymbolFile::M51);
    // Only the log needs the duplicate check, which only reads the names,
    // all of them: a map that could not be made leaves early.
    pass.feed.waitForEnd();
    pass.duplicates.finish();
    if (pass.hasStyleWarnings()) stored[index(SymbolFile::StyleWarnings)] = store(SymbolFile::StyleWarnings);
  });
  if (withCanape) helpers.add([&] { stored[index(SymbolFile::Canape)] = store(SymbolFile::Canape); });
  pass.firstBatch = [&helpers] { helpers.launch(); };
  bool allLeaves = false;
  try {
    allLeaves = expandLocatedVariables(database, pass, leafCap, trace);
  } catch (...) {
    // The files made so far are dropped: their makers stop, and the
    // temporary files go. (A maker already started must not wait for
    // leaves that will not come.)
    pass.feed.abort();
    helpers.joinThreads();
    throw;
  }
  pass.feed.finish(pass.leaves.size());
  const bool allOnThreads = helpers.join();
  // Every file is made: those stored go into place together.
  for (const SymbolFile which : kSymbolFiles)
    if (stored[index(which)]) stored[index(which)] = sink.commit(which);
  if (allOnThreads && withCanape) {
    // On a nearly full disk, the other file's temporary copy may have taken
    // the room a file needed: a file that failed is tried once more on its
    // own, in the files' order, where one after the other it may fit.
    for (const SymbolFile which : kSymbolFiles)
      if (!stored[index(which)]) stored[index(which)] = store(which) && sink.commit(which);
  }

  SymbolFilesResult result;
  for (const SymbolFile which : kSymbolFiles)
    if (!stored[index(which)]) result.failedFiles.push_back(sink.nameOf(which));
  result.leavesCut = !allLeaves;
  result.leafCap = leafCap;
  result.variablesAtAddressZero = pass.atAddressZero.size();
  return result;
}

SymbolFilesResult writeSymbolFiles(const std::string &m51FileName, const std::string &canapeFileName,
                                   const DwarfDatabase &database, const NameTrace &trace) {
  FileSink sink(m51FileName, canapeFileName);
  return produceSymbolFiles(database, !canapeFileName.empty(), sink, kLeafCap, trace);
}

SymbolFilesResult makeSymbolTexts(const DwarfDatabase &database, SymbolTexts &texts, std::size_t leafCap,
                                  const NameTrace &trace) {
  texts = SymbolTexts();
  MemorySink sink(texts);
  return produceSymbolFiles(database, true, sink, leafCap, trace);
}
