// Text for tests: UTF-8 in the test's sources and messages, UTF-16 where
// Win32 takes it.  The one pair every test converts with (plx_text_codec.h
// underneath): a surrogate pair is one character, what is not UTF-8 or a lone
// surrogate becomes U+FFFD.
#ifndef PLX_TEST_TEXT_H
#define PLX_TEST_TEXT_H

#include "plx_win32.h"

#include <cstddef>
#include <string>
#include <string_view>

typedef std::basic_string<WCHAR> PlxWString;

// UTF-8 to UTF-16.
PlxWString plxW(std::string_view utf8);

// UTF-16 to UTF-8: count units (NULs included), up to the terminator, or all
// of a string.
std::string plxNarrow(const WCHAR* text, size_t count);
std::string plxNarrow(const WCHAR* text);  // null gives ""
std::string plxNarrow(const PlxWString& text);

#endif
