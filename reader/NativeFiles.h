#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <system_error>

/// The file operations of the tool, on names in UTF-8, and what turns such a
/// name into the system's own. Everything else of the tool holds its texts,
/// paths included, as UTF-8 in narrow strings.
///
/// On Linux a name's bytes are the file's name. On Windows a name is turned
/// into UTF-16 (a name that is no valid UTF-8 has each stray byte replaced by
/// U+FFFD) and handed to the wide ("W") functions, so that every name works
/// whatever the ANSI code page; a path of MAX_PATH characters or more is made
/// absolute and handed over in the "\\?\" form, which has no length limit
/// short of 32 767 characters.
namespace NativeFiles {

#ifdef _WIN32
/// A character of a name as the system takes it.
using NativeChar = wchar_t;
/// An open file: a HANDLE.
using Handle = void *;
#else
using NativeChar = char;
/// An open file: a file descriptor.
using Handle = int;
#endif
using NativeName = std::basic_string<NativeChar>;

/// No open file.
Handle noHandle();

/// The code point at \p at in the UTF-8 \p text, which it steps past; a byte
/// that starts no valid sequence gives U+FFFD and is stepped past alone.
/// Encoded surrogates (as a UTF-16 name with an unpaired surrogate becomes)
/// are taken as they are. \p at must lie inside \p text.
char32_t nextCodePoint(std::string_view text, std::size_t &at);
/// \p text (UTF-8) in UTF-16.
std::u16string utf16FromUtf8(std::string_view text);
/// \p text (UTF-16) in UTF-8. An unpaired surrogate is encoded as it is, in
/// three bytes, so that the name comes back unchanged through
/// utf16FromUtf8().
std::string utf8FromUtf16(std::u16string_view text);

#ifdef _WIN32
/// \p text (UTF-8) for a wide Windows function.
std::wstring wideFromUtf8(std::string_view text);
/// What a wide Windows function gave, in UTF-8.
std::string utf8FromWide(std::wstring_view text);
#endif

/// The "\\?\" form of the absolute Windows path \p fullPath, as
/// GetFullPathNameW gives it: "\\?\C:\dir\file" and "\\?\UNC\server\share\file".
/// A path already in that form, or a device path ("\\.\"), stays as it is.
std::u16string longPathForm(std::u16string_view fullPath);

/// \p name as the system's file functions take it; see above.
NativeName nativeName(const std::string &name);

/// Opens \p name for reading in binary mode; null when it cannot be opened.
std::FILE *openForReading(const std::string &name);
/// The size in bytes of the file \p name, links followed; sets \p error for
/// a name that is missing, a folder, or cannot be looked at.
std::uintmax_t fileSize(const std::string &name, std::error_code &error);

/// Whether \p name is a folder, links followed.
bool isDirectory(const std::string &name);
/// What a name stands for, links followed.
enum class Kind { Missing, Regular, Other };
Kind kindOf(const std::string &name);

/// The file \p name stands for: symbolic links are followed, a relative
/// target from the link's own folder, to the file they end at, which need not
/// exist. Empty for a chain of links that does not end or cannot be read. On
/// Windows, where a link is followed by the file functions themselves, the
/// name stays as it is.
std::string resolveLinks(const std::string &name);

/// Creates \p name for writing, only where nothing of that name is (never
/// through a link, never over an existing file), with the permissions of the
/// file \p replaced when that exists; noHandle() when it cannot. On Windows
/// the file may be removed while it is open.
Handle createNew(const std::string &name, const std::string &replaced);
/// Whether the last createNew() failed only because the name is taken.
bool lastCreateFoundNameTaken();
/// Writes all of \p bytes; false when any of it could not be written.
bool writeAll(Handle file, std::string_view bytes);
/// Closes \p file; false when that failed (a full disk may show only here).
bool close(Handle file);
/// Replaces \p to by \p from in one step.
bool renameOver(const std::string &from, const std::string &to);
/// Removes the file \p name.
void remove(const std::string &name);
/// Removes the file of the native name \p name; calls nothing but unlink()
/// or DeleteFileW, so a signal handler may call it.
void removeNative(const NativeChar *name);

} // namespace NativeFiles
