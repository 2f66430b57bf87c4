#pragma once

#include <cstdint>
#include <string>
#include <string_view>

/// Dumps in UTF-16. Windows PowerShell 5 writes what a command prints through
/// `>` as UTF-16 little endian with a byte-order mark and CR LF line ends; the
/// parse reads UTF-8 (objdump's own output), so such a dump is turned into
/// UTF-8 first. The byte-order mark at the very start tells the two apart.
namespace Utf16Text {

enum class ByteOrder : std::uint8_t {
  None,   ///< no UTF-16 byte-order mark: the text is read as it is
  Little, ///< starts with FF FE
  Big,    ///< starts with FE FF
};

/// The byte-order mark \p start begins with, if any (\p start may be the
/// first two bytes only).
ByteOrder byteOrderMark(std::string_view start);

/// Turns UTF-16 bytes into UTF-8, piece by piece: a piece may end inside a
/// code unit or between the two halves of a surrogate pair. A half of a pair
/// without its other half, and an odd byte at the very end, become U+FFFD.
class Decoder {
public:
  explicit Decoder(ByteOrder order) : bigEndian_(order == ByteOrder::Big) {}

  /// Appends the UTF-8 form of \p bytes to \p text.
  void decode(std::string_view bytes, std::string &text);
  /// Appends what is left over at the end of the input.
  void finish(std::string &text);

private:
  void takeUnit(std::uint16_t unit, std::string &text);

  bool bigEndian_;
  bool oddByteHeld_ = false;
  unsigned char oddByte_ = 0;
  /// The first half of a surrogate pair, waiting for its second; 0 for none.
  std::uint16_t highSurrogate_ = 0;
};

/// The UTF-8 form of \p dump, a whole text that starts with a UTF-16
/// byte-order mark (which is left out).
std::string toUtf8(std::string_view dump);

} // namespace Utf16Text
