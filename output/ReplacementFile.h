#pragma once

#include <cstdio>
#include <string>
#include <string_view>

/// Writes a file so that it is never seen half-written: the text goes into a
/// temporary file in the same directory, which replaces the file only once
/// all of it is written and closed. Until then, and whenever anything fails,
/// an existing file keeps its bytes and the temporary file is removed.
///
/// The temporary file is named after the file and the process, so one
/// process replaces a given file with one ReplacementFile at a time (a run
/// writes its three files one after the other).
class ReplacementFile {
public:
  /// Opens the temporary file for \p fileName; see isOpen().
  explicit ReplacementFile(std::string fileName);
  /// Removes the temporary file unless commit() put it in place.
  ~ReplacementFile();

  ReplacementFile(const ReplacementFile &) = delete;
  ReplacementFile &operator=(const ReplacementFile &) = delete;

  /// False when the file cannot be made: a missing or read-only directory,
  /// a name that is a directory or no regular file.
  bool isOpen() const { return file_ != nullptr; }
  /// Appends \p bytes; false once anything failed to be written.
  bool write(std::string_view bytes);
  /// Closes the temporary file and renames it into place. False when any
  /// write, the close or the rename failed; the file is then untouched.
  bool commit();

  /// The temporary file's name (for the tests).
  const std::string &temporaryName() const { return temporaryName_; }

private:
  void discard();

  std::string fileName_;
  std::string temporaryName_;
  std::FILE *file_ = nullptr;
  bool failed_ = false;
};
