#include "output/ReplacementFile.h"

#include "output/InterruptCleanup.h"
#include "reader/NativeFiles.h"

#include <chrono>
#include <cstdint>
#include <random>

namespace {

/// Names tried before giving up: each is taken only if someone made it first.
constexpr int kMostAttempts = 100;

} // namespace

std::string ReplacementFile::randomUniquePart() {
  std::uint64_t bits = 0;
  try {
    std::random_device random;
    bits = (static_cast<std::uint64_t>(random()) << 32) ^ random();
  } catch (...) {
    // No random source: the clock and where the stack lies. The name is then
    // easier to guess, but a name taken is still never used.
    std::uint64_t here = 0;
    bits = static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()) ^
           reinterpret_cast<std::uintptr_t>(&here);
  }
  constexpr char kDigits[] = "0123456789abcdef";
  std::string text(16, '0');
  for (std::size_t i = 0; i < text.size(); ++i)
    text[i] = kDigits[(bits >> (60 - 4 * i)) & 0xF];
  return text;
}

ReplacementFile::ReplacementFile(std::string fileName, UniquePart uniquePart)
    : fileName_(NativeFiles::resolveLinks(fileName)), file_(NativeFiles::noHandle()),
      slot_(InterruptCleanup::kNoSlot) {
  if (fileName_.empty()) return;
  // Only a regular file, or none, may be replaced: a folder or a device of
  // that name stays as it is.
  if (NativeFiles::kindOf(fileName_) == NativeFiles::Kind::Other) return;

  for (int attempt = 0; attempt < kMostAttempts; ++attempt) {
    std::string name = fileName_ + "." + uniquePart() + ".tmp";
    const NativeFiles::NativeName nativeName = NativeFiles::nativeName(name);
    // Registered before it exists, so that an interrupt removes it at any moment.
    const InterruptCleanup::Change change;
    const int slot = InterruptCleanup::addTemporaryFile(change, nativeName.c_str());
    if (slot == InterruptCleanup::kNoSlot) return;
    const NativeFile file = NativeFiles::createNew(name, fileName_);
    if (file != NativeFiles::noHandle()) {
      temporaryName_ = std::move(name);
      file_ = file;
      slot_ = slot;
      state_ = State::Open;
      return;
    }
    const bool taken = NativeFiles::lastCreateFoundNameTaken();
    InterruptCleanup::removeTemporaryFile(slot);
    if (!taken) return;
  }
}

ReplacementFile::~ReplacementFile() {
  if (state_ == State::Open || state_ == State::Closed) discard();
}

bool ReplacementFile::write(std::string_view bytes) {
  if (state_ != State::Open || failed_) return false;
  if (!NativeFiles::writeAll(file_, bytes)) failed_ = true;
  return !failed_;
}

bool ReplacementFile::close() {
  if (state_ != State::Open) return state_ == State::Closed;
  state_ = State::Closed;
  // A full disk may show only here (on a network drive, say).
  const bool closed = NativeFiles::close(file_);
  file_ = NativeFiles::noHandle();
  if (failed_ || !closed) {
    discard();
    return false;
  }
  return true;
}

bool ReplacementFile::commit() {
  if (!close()) return false;
  if (!NativeFiles::renameOver(temporaryName_, fileName_)) {
    discard();
    return false;
  }
  state_ = State::Done;
  InterruptCleanup::removeTemporaryFile(slot_);
  return true;
}

void ReplacementFile::discard() {
  if (state_ == State::Open) NativeFiles::close(file_);
  file_ = NativeFiles::noHandle();
  state_ = State::Done;
  NativeFiles::remove(temporaryName_);
  InterruptCleanup::removeTemporaryFile(slot_);
}
