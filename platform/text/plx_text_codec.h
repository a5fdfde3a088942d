// The text encodings that the simulated machine and the tests convert
// between: UTF-16 (the registry's and Win32's text), UTF-8 (host paths,
// machine.ini, screen.log, test sources), Windows-1252 (ANSI files) and
// UTF-16LE bytes.  No machine and no Win32: every build compiles it.
#ifndef PLX_TEXT_CODEC_H
#define PLX_TEXT_CODEC_H

#include <string>
#include <string_view>

namespace plxtext {

// UTF-16 to UTF-8; a surrogate without its partner becomes U+FFFD.
std::string toUtf8(std::u16string_view text);

// UTF-8 to UTF-16, a supplementary character as a surrogate pair.  What is not
// UTF-8 (a stray or missing continuation byte, an overlong form, a surrogate
// or a code point beyond U+10FFFF) becomes one U+FFFD per maximal subpart:
// the longest start of a sequence that could still have become valid.
std::u16string fromUtf8(std::string_view text);

// The same, for callers that must tell UTF-8 from other text: false, out
// unspecified, at the first byte that is not UTF-8.
bool fromUtf8Strict(std::string_view bytes, std::u16string& out);

// Windows-1252, the ANSI code page of the machines modelled, both ways.  Every
// byte has a character (0x81, 0x8D, 0x8F, 0x90 and 0x9D the C1 controls of the
// same value, as Windows maps them), so bytes survive a round trip; a
// character the code page lacks is written as '?', its default character.
std::u16string fromWindows1252(std::string_view bytes);
std::string toWindows1252(std::u16string_view text);

// UTF-16 as little-endian bytes, without a byte order mark.
std::string utf16leBytes(std::u16string_view text);

// Little-endian bytes as UTF-16 units; an odd last byte is left out.
std::u16string fromUtf16leBytes(std::string_view bytes);

}  // namespace plxtext

#endif
