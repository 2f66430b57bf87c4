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
  const DWORD size = GetFileVersionInfoSizeA(programPath, &ignored);
  if (size == 0) return;
  // One zero byte beyond the block ends every string value inside it.
  std::vector<char> block(static_cast<std::size_t>(size) + 1, '\0');
  if (!GetFileVersionInfoA(programPath, 0, size, block.data())) return;

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
