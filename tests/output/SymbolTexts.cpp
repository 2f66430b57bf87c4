#include "tests/output/SymbolTexts.h"

namespace {

/// Keeps each text in memory.
class MemorySink final : public SymbolFileSink {
public:
  explicit MemorySink(SymbolTexts &texts) : texts_(texts) {}

  bool store(SymbolFile which, ChunkedText &text) override {
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

} // namespace

SymbolFilesResult makeSymbolTexts(const DwarfDatabase &database, SymbolTexts &texts, std::size_t leafCap,
                                  const NameTrace &trace) {
  texts = SymbolTexts();
  MemorySink sink(texts);
  return produceSymbolFiles(database, true, sink, leafCap, trace);
}
