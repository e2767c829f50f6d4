// Text for the render command from its argument, a file or standard input:
// checked, normalised and turned into the engine's 16-bit codes, then
// appended in pieces with a progress bar when the job is long.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace vuzodo_cli {

// The whole of a file ("-": standard input) as normalised UTF-8 (see
// NormaliseText) without its last line feed, or nothing after a one-line error
// on standard error.
std::optional<std::string> ReadTextInput(const std::string& path);

// Text as a user's files hold it, made the text the layout expects: a UTF-8
// byte order mark is removed and CR LF or a lone CR becomes a line feed.
// Invalid UTF-8 gives nothing after a one-line error naming `source` and the
// byte offset.
std::optional<std::string> NormaliseText(const std::string& bytes, const std::string& source);

// The big-font encodings --encoding takes, by their command-line names.
const std::vector<std::string>& BigFontEncodings();

// Valid UTF-8 as the engine's 16-bit codes. Without an encoding each
// character is its UTF-16 unit; one above U+FFFF, which the engine cannot
// hold as one unit, becomes U+FFFF (no font maps it: one missing-character
// box) and is listed in `outside`, each once. With an encoding (one of
// BigFontEncodings) ASCII stays as it is and every other character becomes
// its one- or two-byte code in that encoding (lead byte high), surrogate-range
// codes included; a character it cannot encode gives nothing after a one-line
// error naming `source`, the character and its byte offset.
std::optional<std::u16string> ToCodeUnits(const std::string& utf8, const std::string& encoding,
                                          const std::string& source,
                                          std::vector<char32_t>& outside);

// Appends `text` through `append` one line at a time (each piece ends with
// its line feed, so the layout is the same as one append), drawing a
// progress bar on standard error when that is a terminal and the text is
// long: `long_text` units or more (hatching makes each character costly, so
// hatched texts count as long sooner). A line longer than `max_piece` units
// (0: no limit) is appended in pieces of that length, so that one long line
// moves the bar too; only layouts that place each character without looking
// ahead (no wrapping, markup or path) give the same result that way. Returns
// the sum of what `append` returned.
int AppendWithProgress(const std::u16string& text, size_t long_text, size_t max_piece,
                       const std::function<int(std::u16string&)>& append);

}  // namespace vuzodo_cli
