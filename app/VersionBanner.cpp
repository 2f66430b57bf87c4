#include "app/VersionBanner.h"

#include "app/ConsoleTexts.h"
#include "app/QuillmapVersion.h"

#include <iostream>

#ifdef _WIN32
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
  std::cout << fileName << ConsoleTexts::kBannerVersion << version << ConsoleTexts::kBannerFrom << buildDate()
            << '\n'
            << std::flush;
  std::cout << copyright << '\n' << std::flush;
}

} // namespace

#ifdef _WIN32

void printVersionBanner(const char *programPath) {
  std::string fileName;
  std::string version;
  std::string copyright;

  DWORD ignored = 0;
  std::string path = programPath;
  DWORD size = GetFileVersionInfoSizeA(path.c_str(), &ignored);
  if (size == 0) {
    // Typed as "Quillmap" in cmd.exe, argv[0] has neither folder nor ".exe",
    // and the version functions then look for Quillmap.dll. The running
    // module's own path always names the file that holds the resource.
    char ownPath[MAX_PATH];
    const DWORD length = GetModuleFileNameA(nullptr, ownPath, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return;
    path.assign(ownPath, length);
    size = GetFileVersionInfoSizeA(path.c_str(), &ignored);
    if (size == 0) return;
  }
  // One zero byte beyond the block ends every string value inside it.
  std::vector<char> block(static_cast<std::size_t>(size) + 1, '\0');
  if (!GetFileVersionInfoA(path.c_str(), 0, size, block.data())) return;

  void *value = nullptr;
  UINT length = 0;
  if (!VerQueryValueA(block.data(), "\\", &value, &length) || value == nullptr ||
      length < sizeof(VS_FIXEDFILEINFO))
    return;
  version = versionText(static_cast<const VS_FIXEDFILEINFO *>(value)->dwFileVersionMS);

  if (VerQueryValueA(block.data(), "\\StringFileInfo\\040904b0\\LegalCopyright", &value, &length) &&
      value != nullptr)
    copyright = static_cast<const char *>(value);
  if (VerQueryValueA(block.data(), "\\StringFileInfo\\040904b0\\OriginalFilename", &value, &length) &&
      value != nullptr)
    fileName = static_cast<const char *>(value);

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
