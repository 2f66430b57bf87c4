#include "reader/Utf16Text.h"

namespace Utf16Text {

namespace {

constexpr std::uint32_t kReplacement = 0xfffd;

bool isHighSurrogate(std::uint32_t unit) { return unit >= 0xd800 && unit <= 0xdbff; }
bool isLowSurrogate(std::uint32_t unit) { return unit >= 0xdc00 && unit <= 0xdfff; }

void appendUtf8(std::uint32_t code, std::string &text) {
  if (code < 0x80) {
    text.push_back(static_cast<char>(code));
  } else if (code < 0x800) {
    text.push_back(static_cast<char>(0xc0 | (code >> 6)));
    text.push_back(static_cast<char>(0x80 | (code & 0x3f)));
  } else if (code < 0x10000) {
    text.push_back(static_cast<char>(0xe0 | (code >> 12)));
    text.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3f)));
    text.push_back(static_cast<char>(0x80 | (code & 0x3f)));
  } else {
    text.push_back(static_cast<char>(0xf0 | (code >> 18)));
    text.push_back(static_cast<char>(0x80 | ((code >> 12) & 0x3f)));
    text.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3f)));
    text.push_back(static_cast<char>(0x80 | (code & 0x3f)));
  }
}

} // namespace

ByteOrder byteOrderMark(std::string_view start) {
  if (start.size() < 2) return ByteOrder::None;
  const auto first = static_cast<unsigned char>(start[0]);
  const auto second = static_cast<unsigned char>(start[1]);
  if (first == 0xff && second == 0xfe) return ByteOrder::Little;
  if (first == 0xfe && second == 0xff) return ByteOrder::Big;
  return ByteOrder::None;
}

void Decoder::decode(std::string_view bytes, std::string &text) {
  std::size_t at = 0;
  if (oddByteHeld_ && !bytes.empty()) {
    const auto next = static_cast<unsigned char>(bytes[0]);
    takeUnit(static_cast<std::uint16_t>(bigEndian_ ? (oddByte_ << 8) | next : (next << 8) | oddByte_), text);
    oddByteHeld_ = false;
    at = 1;
  }
  for (; at + 1 < bytes.size(); at += 2) {
    const auto first = static_cast<unsigned char>(bytes[at]);
    const auto second = static_cast<unsigned char>(bytes[at + 1]);
    const auto unit = static_cast<std::uint16_t>(bigEndian_ ? (first << 8) | second : (second << 8) | first);
    // Most of a dump is ASCII without surrogates pending.
    if (unit < 0x80 && highSurrogate_ == 0)
      text.push_back(static_cast<char>(unit));
    else
      takeUnit(unit, text);
  }
  if (at < bytes.size()) {
    oddByte_ = static_cast<unsigned char>(bytes[at]);
    oddByteHeld_ = true;
  }
}

void Decoder::finish(std::string &text) {
  if (highSurrogate_ != 0) appendUtf8(kReplacement, text);
  highSurrogate_ = 0;
  if (oddByteHeld_) appendUtf8(kReplacement, text);
  oddByteHeld_ = false;
}

void Decoder::takeUnit(std::uint16_t unit, std::string &text) {
  if (highSurrogate_ != 0) {
    if (isLowSurrogate(unit)) {
      const std::uint32_t code = 0x10000 + ((std::uint32_t{highSurrogate_} - 0xd800) << 10) + (unit - 0xdc00);
      highSurrogate_ = 0;
      appendUtf8(code, text);
      return;
    }
    // The first half without its second.
    appendUtf8(kReplacement, text);
    highSurrogate_ = 0;
  }
  if (isHighSurrogate(unit)) {
    highSurrogate_ = unit;
    return;
  }
  appendUtf8(isLowSurrogate(unit) ? kReplacement : unit, text);
}

std::string toUtf8(std::string_view dump) {
  std::string text;
  // Mostly ASCII: one byte of UTF-8 per two of UTF-16.
  text.reserve(dump.size() / 2);
  Decoder decoder(byteOrderMark(dump));
  decoder.decode(dump.substr(2), text);
  decoder.finish(text);
  return text;
}

} // namespace Utf16Text
