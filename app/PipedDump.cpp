#include "app/PipedDump.h"

#include "app/ObjdumpRunner.h"
#include "output/ReplacementFile.h"

#include <string_view>
#include <utility>

#ifdef __linux__
#include <fcntl.h>
#endif

namespace {

/// On ext4, renaming a file over another first gives blocks on disk to all
/// of the new file that is still only in memory: a tenth of a second and
/// more for a dump of 150 MB, which the user would wait for once objdump
/// has ended. Writing the dump out in steps of this many bytes while
/// objdump runs leaves little to do then.
constexpr std::uint64_t kWritebackBytes = std::uint64_t{8} << 20;

} // namespace

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
  written_ += got;
  if (written_ - writebackStart_ >= kWritebackBytes) startWriteback();
  return got;
}

void PipedDump::startWriteback() {
#ifdef __linux__
  // Only starts the writing; a failure shows in the writes and the close.
  sync_file_range(dump_.nativeFile(), static_cast<off64_t>(writebackStart_),
                  static_cast<off64_t>(written_ - writebackStart_), SYNC_FILE_RANGE_WRITE);
#endif
  writebackStart_ = written_;
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
