#include "output/ReplacementFile.h"

#include <cerrno>
#include <filesystem>
#include <system_error>

#ifdef _WIN32
#include <process.h>
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace fs = std::filesystem;

namespace {

unsigned long processId() {
#ifdef _WIN32
  return static_cast<unsigned long>(_getpid());
#else
  return static_cast<unsigned long>(getpid());
#endif
}

/// The file a name stands for: a symbolic link is followed, so that the file
/// it points to is replaced and the link stays.
std::string resolvedName(const std::string &fileName) {
  std::error_code error;
  if (!fs::is_symlink(fs::path(fileName), error)) return fileName;
  const fs::path target = fs::weakly_canonical(fs::path(fileName), error);
  return error ? fileName : target.string();
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

} // namespace

ReplacementFile::ReplacementFile(std::string fileName) : fileName_(resolvedName(fileName)) {
  // Only a regular file, or none, may be replaced: a directory or a device
  // of that name stays as it is.
  std::error_code error;
  const fs::file_status status = fs::status(fs::path(fileName_), error);
  if (fs::exists(status) && !fs::is_regular_file(status)) return;

  temporaryName_ = fileName_ + "." + std::to_string(processId()) + ".tmp";
  // Binary, so that the CR LF line ends stay exact on Windows.
  file_ = std::fopen(temporaryName_.c_str(), "wb");
  if (file_ == nullptr) return;
  // The texts come in chunks of 64 KiB: each goes to the system in one
  // write, not split around stdio's own buffer.
  std::setvbuf(file_, nullptr, _IONBF, 0);
  if (fs::exists(status)) {
    // The new file gets the permissions of the one it replaces.
    fs::permissions(fs::path(temporaryName_), status.permissions(), fs::perm_options::replace, error);
  }
}

ReplacementFile::~ReplacementFile() {
  if (file_ != nullptr) discard();
}

bool ReplacementFile::write(std::string_view bytes) {
  if (file_ == nullptr || failed_) return false;
  if (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), file_) != bytes.size()) failed_ = true;
  return !failed_;
}

bool ReplacementFile::commit() {
  if (file_ == nullptr) return false;
  std::FILE *file = file_;
  file_ = nullptr;
  // fclose writes what is still buffered: a full disk may show only here.
  const bool closed = std::fclose(file) == 0;
  if (failed_ || !closed || !renameOver(temporaryName_, fileName_)) {
    std::remove(temporaryName_.c_str());
    return false;
  }
  return true;
}

void ReplacementFile::discard() {
  std::fclose(file_);
  file_ = nullptr;
  std::remove(temporaryName_.c_str());
}
