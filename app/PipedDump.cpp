#include "app/PipedDump.h"

#include "app/ObjdumpRunner.h"
#include "output/ReplacementFile.h"

#include <string_view>
#include <utility>

PipedDump::PipedDump(PipedProgram &objdump, ReplacementFile &dump, std::function<void()> finished)
    : objdump_(objdump), dump_(dump), finished_(std::move(finished)) {}

std::size_t PipedDump::read(char *buffer, std::size_t size) {
  // A dump that cannot be kept ends the run: objdump is stopped rather
  // than read to its end.
  if (writeFailed_) return 0;
  const std::size_t got = objdump_.readBlock(buffer, size);
  if (got != 0 && !dump_.write(std::string_view(buffer, got))) {
    writeFailed_ = true;
    return 0;
  }
  return got;
}

bool PipedDump::finish() {
  exitCode_ = objdump_.wait();
  if (writeFailed_)
    outcome_ = Outcome::WriteFailed;
  else if (objdump_.readFailed())
    outcome_ = Outcome::ReadFailed;
  else if (exitCode_ != 0)
    outcome_ = Outcome::ObjdumpFailed;
  else if (!dump_.commit())
    outcome_ = Outcome::WriteFailed;
  else
    outcome_ = Outcome::Finished;
  if (outcome_ != Outcome::Finished) return false;
  finished_();
  return true;
}
