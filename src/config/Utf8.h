// UTF-8 at the edges of the portable programs (file names outside Windows,
// arguments, standard output, JSON) and UTF-16 inside, as everywhere in the
// core.
#pragma once
#include <optional>
#include <string>
#include <string_view>

// A lone surrogate becomes U+FFFD.
std::string ToUtf8(const std::u16string& text);
// True when `text` holds a surrogate that is not part of a pair.
bool HasLoneSurrogate(const std::u16string& text);
// Nothing when `text` is not valid UTF-8.
std::optional<std::u16string> FromUtf8(const std::string& text);

// `text` (UTF-8) as a message or a record may show it: control characters
// and bytes that are not UTF-8 escaped ("\x1B", "\n"), and cut after `limit`
// characters, saying how long it was.
std::string Printable(std::string_view text, std::size_t limit = 80);
