#include "reader/NativeFiles.h"

#include <algorithm>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#else
#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace NativeFiles {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

bool isContinuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

} // namespace

char32_t nextCodePoint(std::string_view text, std::size_t &at) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char lead = byte(at);
  std::size_t length = 0;
  char32_t value = 0;
  char32_t smallest = 0;
  if (lead < 0x80) {
    ++at;
    return lead;
  } else if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
    value = lead & 0x1F;
    smallest = 0x80;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    value = lead & 0x0F;
    smallest = 0x800;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    value = lead & 0x07;
    smallest = 0x10000;
  } else {
    ++at;
    return kReplacement;
  }
  if (text.size() - at < length) {
    ++at;
    return kReplacement;
  }
  for (std::size_t i = 1; i < length; ++i) {
    if (!isContinuation(byte(at + i))) {
      ++at;
      return kReplacement;
    }
    value = (value << 6) | (byte(at + i) & 0x3F);
  }
  if (value < smallest || value > 0x10FFFF) {
    ++at;
    return kReplacement;
  }
  at += length;
  return value;
}

std::u16string utf16FromUtf8(std::string_view text) {
  std::u16string wide;
  wide.reserve(text.size());
  for (std::size_t at = 0; at < text.size();) {
    const char32_t point = nextCodePoint(text, at);
    if (point < 0x10000) {
      wide += static_cast<char16_t>(point);
    } else {
      wide += static_cast<char16_t>(0xD800 + ((point - 0x10000) >> 10));
      wide += static_cast<char16_t>(0xDC00 + ((point - 0x10000) & 0x3FF));
    }
  }
  return wide;
}

std::string utf8FromUtf16(std::u16string_view text) {
  std::string narrow;
  narrow.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    char32_t point = text[i];
    if (point >= 0xD800 && point <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] <= 0xDFFF) {
      point = 0x10000 + ((point - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    }
    if (point < 0x80) {
      narrow += static_cast<char>(point);
    } else if (point < 0x800) {
      narrow += static_cast<char>(0xC0 | (point >> 6));
      narrow += static_cast<char>(0x80 | (point & 0x3F));
    } else if (point < 0x10000) {
      narrow += static_cast<char>(0xE0 | (point >> 12));
      narrow += static_cast<char>(0x80 | ((point >> 6) & 0x3F));
      narrow += static_cast<char>(0x80 | (point & 0x3F));
    } else {
      narrow += static_cast<char>(0xF0 | (point >> 18));
      narrow += static_cast<char>(0x80 | ((point >> 12) & 0x3F));
      narrow += static_cast<char>(0x80 | ((point >> 6) & 0x3F));
      narrow += static_cast<char>(0x80 | (point & 0x3F));
    }
  }
  return narrow;
}

std::u16string longPathForm(std::u16string_view fullPath) {
  const auto startsWith = [fullPath](std::u16string_view start) {
    return fullPath.substr(0, start.size()) == start;
  };
  if (startsWith(u"\\\\?\\") || startsWith(u"\\\\.\\") || startsWith(u"\\??\\"))
    return std::u16string(fullPath);
  if (startsWith(u"\\\\")) return u"\\\\?\\UNC\\" + std::u16string(fullPath.substr(2));
  return u"\\\\?\\" + std::u16string(fullPath);
}

#ifdef _WIN32

namespace {

std::wstring wide(std::u16string_view text) { return std::wstring(text.begin(), text.end()); }

} // namespace

std::wstring wideFromUtf8(std::string_view text) { return wide(utf16FromUtf8(text)); }

std::string utf8FromWide(std::wstring_view text) {
  return utf8FromUtf16(std::u16string(text.begin(), text.end()));
}

Handle noHandle() { return INVALID_HANDLE_VALUE; }

NativeName nativeName(const std::string &name) {
  // The full path is what the system limits to MAX_PATH: a short relative
  // name in a deep working folder needs the long form too.
  const std::wstring givenWide = wideFromUtf8(name);
  const DWORD needed = GetFullPathNameW(givenWide.c_str(), 0, nullptr, nullptr);
  if (needed == 0) return givenWide;
  std::wstring full(needed, L'\0');
  const DWORD length = GetFullPathNameW(givenWide.c_str(), needed, full.data(), nullptr);
  if (length == 0 || length >= needed) return givenWide;
  full.resize(length);
  // A path the system takes as it is keeps its form: every ordinary name is
  // handed over exactly as given.
  if (full.size() < MAX_PATH) return givenWide;
  return wide(longPathForm(std::u16string(full.begin(), full.end())));
}

std::FILE *openForReading(const std::string &name) {
  // The sharing of the C runtime's fopen(): others may read and write.
  HANDLE file = CreateFileW(nativeName(name).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                            nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return nullptr;
  const int descriptor = _open_osfhandle(reinterpret_cast<intptr_t>(file), _O_RDONLY | _O_BINARY);
  if (descriptor < 0) {
    CloseHandle(file);
    return nullptr;
  }
  std::FILE *stream = _fdopen(descriptor, "rb");
  if (stream == nullptr) _close(descriptor);
  return stream;
}

std::uintmax_t fileSize(const std::string &name, std::error_code &error) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!GetFileAttributesExW(nativeName(name).c_str(), GetFileExInfoStandard, &data)) {
    error.assign(static_cast<int>(GetLastError()), std::system_category());
    return static_cast<std::uintmax_t>(-1);
  }
  if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    error = std::make_error_code(std::errc::is_a_directory);
    return static_cast<std::uintmax_t>(-1);
  }
  error.clear();
  return (static_cast<std::uintmax_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

bool isDirectory(const std::string &name) {
  const DWORD attributes = GetFileAttributesW(nativeName(name).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

Kind kindOf(const std::string &name) {
  // No access asked for: only the kind is looked at, whoever has it open.
  HANDLE file =
      CreateFileW(nativeName(name).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                  nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (file == INVALID_HANDLE_VALUE) return Kind::Missing;
  BY_HANDLE_FILE_INFORMATION information{};
  const bool regular = GetFileType(file) == FILE_TYPE_DISK &&
                       GetFileInformationByHandle(file, &information) &&
                       (information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
  CloseHandle(file);
  return regular ? Kind::Regular : Kind::Other;
}

std::string resolveLinks(const std::string &name) { return name; }

Handle createNew(const std::string &name, const std::string & /*replaced*/) {
  // FILE_SHARE_DELETE: an interrupt removes it while it is open. CREATE_NEW
  // fails on any existing name, a link included. A read-only file cannot be
  // replaced on Windows, so there is no permission to carry over.
  return CreateFileW(nativeName(name).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                     CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
}

bool lastCreateFoundNameTaken() {
  const DWORD error = GetLastError();
  return error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS;
}

bool writeAll(Handle file, std::string_view bytes) {
  while (!bytes.empty()) {
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), std::size_t{1} << 30));
    DWORD written = 0;
    if (!WriteFile(static_cast<HANDLE>(file), bytes.data(), chunk, &written, nullptr) || written == 0)
      return false;
    bytes.remove_prefix(written);
  }
  return true;
}

bool close(Handle file) { return CloseHandle(static_cast<HANDLE>(file)) != 0; }

bool renameOver(const std::string &from, const std::string &to) {
  // std::rename fails on Windows when the target exists.
  return MoveFileExW(nativeName(from).c_str(), nativeName(to).c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
}

void remove(const std::string &name) { DeleteFileW(nativeName(name).c_str()); }

void removeNative(const NativeChar *name) { DeleteFileW(name); }

#else

namespace fs = std::filesystem;

namespace {

/// A chain of more links than this does not end (as ELOOP says).
constexpr int kMostLinks = 40;

} // namespace

Handle noHandle() { return -1; }

NativeName nativeName(const std::string &name) { return name; }

std::FILE *openForReading(const std::string &name) { return std::fopen(name.c_str(), "rb"); }

std::uintmax_t fileSize(const std::string &name, std::error_code &error) {
  return fs::file_size(fs::path(name), error);
}

bool isDirectory(const std::string &name) {
  std::error_code error;
  return fs::is_directory(fs::path(name), error);
}

Kind kindOf(const std::string &name) {
  std::error_code error;
  const fs::file_status status = fs::status(fs::path(name), error);
  if (fs::is_regular_file(status)) return Kind::Regular;
  return fs::exists(status) ? Kind::Other : Kind::Missing;
}

std::string resolveLinks(const std::string &name) {
  fs::path path(name);
  for (int hop = 0; hop <= kMostLinks; ++hop) {
    std::error_code error;
    if (!fs::is_symlink(fs::symlink_status(path, error))) return hop == 0 ? name : path.string();
    const fs::path target = fs::read_symlink(path, error);
    if (error) return {};
    path = target.is_absolute() ? target : path.parent_path() / target;
  }
  return {};
}

Handle createNew(const std::string &name, const std::string &replaced) {
  // The new file never allows more than the one it replaces, not even while
  // it is still empty; fchmod then undoes what the umask took away.
  std::error_code error;
  const fs::file_status status = fs::status(fs::path(replaced), error);
  const bool replaces = fs::exists(status);
  const mode_t mode = replaces ? static_cast<mode_t>(status.permissions() & fs::perms::mask) : 0666;
  int file = -1;
  do {
    file = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode & 0777);
  } while (file < 0 && errno == EINTR);
  if (file >= 0 && replaces) fchmod(file, mode);
  return file;
}

bool lastCreateFoundNameTaken() { return errno == EEXIST; }

bool writeAll(Handle file, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t written = ::write(file, bytes.data(), bytes.size());
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
  return true;
}

bool close(Handle file) {
  // Linux closes the descriptor even when close() is interrupted.
  return ::close(file) == 0 || errno == EINTR;
}

bool renameOver(const std::string &from, const std::string &to) {
  return std::rename(from.c_str(), to.c_str()) == 0;
}

void remove(const std::string &name) { unlink(name.c_str()); }

void removeNative(const NativeChar *name) { unlink(name); }

#endif

} // namespace NativeFiles
