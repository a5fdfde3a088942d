#include "plx_test_text.h"

#include "plx_text_codec.h"

// WCHAR is char16_t on the simulated machine and wchar_t (16 bits) on Windows:
// the units are copied, not reinterpreted.
PlxWString plxW(std::string_view utf8) {
    std::u16string text = plxtext::fromUtf8(utf8);
    return PlxWString(text.begin(), text.end());
}

std::string plxNarrow(const WCHAR* text, size_t count) { return plxtext::toUtf8(std::u16string(text, text + count)); }

std::string plxNarrow(const WCHAR* text) {
    size_t count = 0;
    while (text && text[count]) ++count;
    return text ? plxNarrow(text, count) : std::string();
}

std::string plxNarrow(const PlxWString& text) { return plxNarrow(text.data(), text.size()); }
