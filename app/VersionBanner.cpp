#include "app/VersionBanner.h"

#include "app/ConsoleOutput.h"
#include "app/ConsoleTexts.h"
#include "app/QuillmapVersion.h"

#ifdef _WIN32
#include "reader/NativeFiles.h"

#include <vector>
#include <windows.h>
#endif

const std::string &buildDate() {
  static const std::string date = __DATE__;
  return date;
}

std::string versionText(std::uint32_t fileVersionMostSignificant) {
  return std::to_string(fileVersionMostSignificant >> 16) + "." +
         std::to_string(fileVersionMostSignificant & 0xFFFFu);
}

namespace {

void printBannerLines(const std::string &fileName, const std::string &version, const std::string &copyright) {
  printConsoleLine({fileName, ConsoleTexts::kBannerVersion, version, ConsoleTexts::kBannerFrom, buildDate()});
  printConsoleLine({copyright});
}

} // namespace

#ifdef _WIN32

namespace {

/// The path of the running executable; empty when it cannot be had.
std::wstring ownExecutablePath() {
  // A path in the "\\?\" form may hold up to 32 767 characters.
  for (DWORD size = MAX_PATH; size <= 32768; size *= 2) {
    std::wstring path(size, L'\0');
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), size);
    if (length == 0) return {};
    if (length < size) {
      path.resize(length);
      return path;
    }
  }
  return {};
}

/// The string value \p query of \p block in UTF-8; empty when it is missing.
std::string stringValue(const std::vector<unsigned char> &block, const wchar_t *query) {
  void *value = nullptr;
  UINT length = 0;
  if (!VerQueryValueW(block.data(), query, &value, &length) || value == nullptr) return {};
  return NativeFiles::utf8FromWide(static_cast<const wchar_t *>(value));
}

} // namespace

void printVersionBanner(const char *programPath) {
  DWORD ignored = 0;
  std::wstring path = NativeFiles::nativeName(programPath);
  DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
  if (size == 0) {
    // Typed as "Quillmap" in cmd.exe, argv[0] has neither folder nor ".exe",
    // and the version functions then look for Quillmap.dll. The running
    // module's own path always names the file that holds the resource.
    path = ownExecutablePath();
    if (path.empty()) return;
    path = NativeFiles::nativeName(NativeFiles::utf8FromWide(path));
    size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
    if (size == 0) return;
  }
  // Two zero bytes beyond the block end every string value inside it.
  std::vector<unsigned char> block(static_cast<std::size_t>(size) + 2, 0);
  if (!GetFileVersionInfoW(path.c_str(), 0, size, block.data())) return;

  void *value = nullptr;
  UINT length = 0;
  if (!VerQueryValueW(block.data(), L"\\", &value, &length) || value == nullptr ||
      length < sizeof(VS_FIXEDFILEINFO))
    return;
  const std::string version = versionText(static_cast<const VS_FIXEDFILEINFO *>(value)->dwFileVersionMS);
  const std::string copyright = stringValue(block, L"\\StringFileInfo\\040904b0\\LegalCopyright");
  const std::string fileName = stringValue(block, L"\\StringFileInfo\\040904b0\\OriginalFilename");

  printBannerLines(fileName, version, copyright);
}

#else

namespace {

/// What a Windows build keeps in its version resource.
struct VersionRecord {
  const char *originalFilename;
  std::uint32_t fileVersionMostSignificant;
  const char *legalCopyright;
};

constexpr VersionRecord kVersionRecord{
    QUILLMAP_OTHER_FILE_NAME,
    (std::uint32_t{QUILLMAP_VERSION_MAJOR} << 16) | std::uint32_t{QUILLMAP_VERSION_MINOR},
    QUILLMAP_COPYRIGHT,
};

} // namespace

void printVersionBanner(const char * /*programPath*/) {
  printBannerLines(kVersionRecord.originalFilename, versionText(kVersionRecord.fileVersionMostSignificant),
                   kVersionRecord.legalCopyright);
}

#endif
