#include "output/ReplacementFile.h"

#include "output/InterruptCleanup.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <random>
#include <system_error>

#ifdef _WIN32
#include <windows.h>
#else
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace fs = std::filesystem;

namespace {

/// A chain of more links than this does not end (as ELOOP says).
constexpr int kMostLinks = 40;
/// Names tried before giving up: each is taken only if someone made it first.
constexpr int kMostAttempts = 100;

#ifdef _WIN32
const ReplacementFile::NativeFile kNoFile = INVALID_HANDLE_VALUE;
#else
constexpr ReplacementFile::NativeFile kNoFile = -1;
#endif

/// The file a name stands for: symbolic links are followed, a relative
/// target from the link's own folder, to the file they end at, which need
/// not exist. Empty for a chain of links that does not end or cannot be read.
std::string resolvedName(const std::string &fileName) {
  fs::path path(fileName);
  for (int hop = 0; hop <= kMostLinks; ++hop) {
    std::error_code error;
    if (!fs::is_symlink(fs::symlink_status(path, error))) return hop == 0 ? fileName : path.string();
    const fs::path target = fs::read_symlink(path, error);
    if (error) return {};
    path = target.is_absolute() ? target : path.parent_path() / target;
  }
  return {};
}

/// Replaces \p to by \p from in one step.
bool renameOver(const std::string &from, const std::string &to) {
#ifdef _WIN32
  // std::rename fails on Windows when the target exists.
  return MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
#else
  return std::rename(from.c_str(), to.c_str()) == 0;
#endif
}

void removeFile(const std::string &name) {
#ifdef _WIN32
  DeleteFileA(name.c_str());
#else
  unlink(name.c_str());
#endif
}

/// Whether a create failed only because the name is taken.
bool nameTaken() {
#ifdef _WIN32
  const DWORD error = GetLastError();
  return error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS;
#else
  return errno == EEXIST;
#endif
}

/// Creates \p name, which must not exist in any form; kNoFile when it cannot.
/// \p replaced is the status of the file it is to replace.
ReplacementFile::NativeFile createNew(const std::string &name, const fs::file_status &replaced) {
#ifdef _WIN32
  // FILE_SHARE_DELETE: an interrupt removes it while it is open.
  HANDLE file = CreateFileA(name.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                            CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file != INVALID_HANDLE_VALUE && fs::exists(replaced)) {
    std::error_code ignored;
    fs::permissions(fs::path(name), replaced.permissions(), fs::perm_options::replace, ignored);
  }
  return file;
#else
  // The new file never allows more than the one it replaces, not even while
  // it is still empty; fchmod then undoes what the umask took away.
  const bool replaces = fs::exists(replaced);
  const mode_t mode = replaces ? static_cast<mode_t>(replaced.permissions() & fs::perms::mask) : 0666;
  int file = -1;
  do {
    file = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode & 0777);
  } while (file < 0 && errno == EINTR);
  if (file >= 0 && replaces) fchmod(file, mode);
  return file;
#endif
}

bool writeAll(ReplacementFile::NativeFile file, std::string_view bytes) {
  while (!bytes.empty()) {
#ifdef _WIN32
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), std::size_t{1} << 30));
    DWORD written = 0;
    if (!WriteFile(static_cast<HANDLE>(file), bytes.data(), chunk, &written, nullptr) || written == 0)
      return false;
#else
    const ssize_t written = ::write(file, bytes.data(), bytes.size());
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
#endif
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
  return true;
}

bool closeFile(ReplacementFile::NativeFile file) {
#ifdef _WIN32
  return CloseHandle(static_cast<HANDLE>(file)) != 0;
#else
  // Linux closes the descriptor even when close() is interrupted.
  return ::close(file) == 0 || errno == EINTR;
#endif
}

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
    : fileName_(resolvedName(fileName)), file_(kNoFile), slot_(InterruptCleanup::kNoSlot) {
  if (fileName_.empty()) return;
  // Only a regular file, or none, may be replaced: a folder or a device of
  // that name stays as it is.
  std::error_code error;
  const fs::file_status status = fs::status(fs::path(fileName_), error);
  if (fs::exists(status) && !fs::is_regular_file(status)) return;

  for (int attempt = 0; attempt < kMostAttempts; ++attempt) {
    std::string name = fileName_ + "." + uniquePart() + ".tmp";
    // Registered before it exists, so that an interrupt removes it at any moment.
    const InterruptCleanup::Change change;
    const int slot = InterruptCleanup::addTemporaryFile(change, name.c_str());
    if (slot == InterruptCleanup::kNoSlot) return;
    const NativeFile file = createNew(name, status);
    if (file != kNoFile) {
      temporaryName_ = std::move(name);
      file_ = file;
      slot_ = slot;
      state_ = State::Open;
      return;
    }
    const bool taken = nameTaken();
    InterruptCleanup::removeTemporaryFile(slot);
    if (!taken) return;
  }
}

ReplacementFile::~ReplacementFile() {
  if (state_ == State::Open || state_ == State::Closed) discard();
}

bool ReplacementFile::write(std::string_view bytes) {
  if (state_ != State::Open || failed_) return false;
  if (!writeAll(file_, bytes)) failed_ = true;
  return !failed_;
}

bool ReplacementFile::close() {
  if (state_ != State::Open) return state_ == State::Closed;
  state_ = State::Closed;
  // A full disk may show only here (on a network drive, say).
  const bool closed = closeFile(file_);
  file_ = kNoFile;
  if (failed_ || !closed) {
    discard();
    return false;
  }
  return true;
}

bool ReplacementFile::commit() {
  if (!close()) return false;
  if (!renameOver(temporaryName_, fileName_)) {
    discard();
    return false;
  }
  state_ = State::Done;
  InterruptCleanup::removeTemporaryFile(slot_);
  return true;
}

void ReplacementFile::discard() {
  if (state_ == State::Open) closeFile(file_);
  file_ = kNoFile;
  state_ = State::Done;
  removeFile(temporaryName_);
  InterruptCleanup::removeTemporaryFile(slot_);
}
