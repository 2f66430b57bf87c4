#pragma once

#include "reader/NativeFiles.h"

#include <string>
#include <string_view>

/// Writes a file so that it is never seen half-written: the text goes into a
/// temporary file in the same folder, which replaces the file only once all
/// of it is written and closed. Until then, and whenever anything fails, an
/// existing file keeps its bytes and the temporary file is removed; an
/// interrupt removes it too (InterruptCleanup).
///
/// The temporary file is "<name>.<unique>.tmp", the unique part random, and
/// it is created only where no file of that name is: never through a
/// symbolic link, never over a file someone else made (a name taken is
/// tried again with a new unique part).
///
/// A name that is a symbolic link, even one whose file does not exist yet,
/// stands for the file it points to: that file is written, in its own
/// folder, and the link stays. A replaced file keeps its permissions. (On
/// Windows a symbolic link at the name is itself replaced by the new file,
/// and the file it points to stays as it was.)
class ReplacementFile {
public:
  /// The open file as the system knows it: a HANDLE on Windows, a file
  /// descriptor elsewhere.
  using NativeFile = NativeFiles::Handle;
  /// Gives the unique part of a temporary file's name.
  using UniquePart = std::string (*)();

  /// Creates the temporary file for \p fileName; see isOpen(). The tests
  /// hand in \p uniquePart.
  explicit ReplacementFile(std::string fileName, UniquePart uniquePart = randomUniquePart);
  /// Removes the temporary file unless commit() put it in place.
  ~ReplacementFile();

  ReplacementFile(const ReplacementFile &) = delete;
  ReplacementFile &operator=(const ReplacementFile &) = delete;

  /// False when the file cannot be made: a missing or read-only folder, a
  /// name that is a folder or no regular file, a chain of links without end.
  bool isOpen() const { return state_ == State::Open; }
  /// Appends \p bytes; false once anything failed to be written.
  bool write(std::string_view bytes);
  /// Closes the temporary file. False when any write or the close failed;
  /// the temporary file is then removed.
  bool close();
  /// Closes the temporary file (unless close() did) and renames it into
  /// place. False when any write, the close or the rename failed; the file
  /// is then untouched.
  bool commit();

  /// The open temporary file, for another program to write into.
  NativeFile nativeFile() const { return file_; }
  /// The temporary file's name.
  const std::string &temporaryName() const { return temporaryName_; }

  /// 64 random bits as 16 hexadecimal digits.
  static std::string randomUniquePart();

private:
  enum class State { None, Open, Closed, Done };

  /// Removes the temporary file.
  void discard();

  std::string fileName_;
  std::string temporaryName_;
  NativeFile file_;
  /// The temporary file's slot in the interrupt registry.
  int slot_;
  State state_ = State::None;
  bool failed_ = false;
};
