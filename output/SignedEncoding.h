#pragma once

#include <string_view>

/// The signedness rule of base types, exactly as the full match of
/// kSignedEncodingPattern against "A" followed by the text: the text holds
/// "signed" at its start or after a character other than 'n'.
bool isSignedEncoding(std::string_view encodingName);
inline constexpr const char *kSignedEncodingPattern = "^.*[^n]signed.*$";
