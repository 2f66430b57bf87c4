#pragma once

#include "output/ReplacementFile.h"
#include "output/SymbolFileSink.h"

#include <memory>
#include <string>

/// Writes each text to a temporary file, which commit() renames over the
/// file, so that a file is either replaced whole or left as it was. A file
/// that cannot be created or fully written (a missing or read-only
/// directory, a full disk) fails alone; the other files are still tried.
/// Temporary files not put in place are removed with the sink.
class FileSink final : public SymbolFileSink {
public:
  FileSink(const std::string &m51FileName, const std::string &canapeFileName)
      : m51FileName_(m51FileName), canapeFileName_(canapeFileName) {}

  bool store(SymbolFile which, ChunkedText &text) override;
  bool commit(SymbolFile which) override;
  std::string nameOf(SymbolFile which) const override;

private:
  const std::string &m51FileName_;
  const std::string &canapeFileName_;
  /// Indexed by SymbolFile: the files stored and not yet put in place. Each
  /// file is stored by one thread and has a slot of its own.
  std::unique_ptr<ReplacementFile> waiting_[3];
};
