#include "plx_text_codec.h"

namespace plxtext {

namespace {

const char32_t kNotUtf8 = 0xFFFFFFFF;

bool isHighSurrogate(char32_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool isLowSurrogate(char32_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

void appendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

void appendUtf16(std::u16string& out, char32_t c) {
    if (c >= 0x10000) {
        c -= 0x10000;
        out += static_cast<char16_t>(0xD800 + (c >> 10));
        out += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
    } else {
        out += static_cast<char16_t>(c);
    }
}

// Decodes the sequence at text[i] into c, kNotUtf8 for a maximal subpart that
// is not UTF-8; returns the bytes it takes (at least one).  The second byte's
// range after E0, ED, F0 and F4 rules out overlong forms, surrogates and code
// points beyond U+10FFFF, so that a bad sequence ends at the byte that makes
// it bad.
size_t decodeAt(std::string_view text, size_t i, char32_t& c) {
    const unsigned char lead = static_cast<unsigned char>(text[i]);
    size_t extra = 0;
    unsigned char low = 0x80, high = 0xBF;
    if (lead < 0x80) {
        c = lead;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
        extra = 1;
        c = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        extra = 2;
        c = lead & 0x0F;
        if (lead == 0xE0) low = 0xA0;
        if (lead == 0xED) high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        extra = 3;
        c = lead & 0x07;
        if (lead == 0xF0) low = 0x90;
        if (lead == 0xF4) high = 0x8F;
    } else {
        c = kNotUtf8;
        return 1;
    }
    for (size_t k = 1; k <= extra; ++k) {
        // The end of the text is a byte that continues nothing.
        const unsigned char next = i + k < text.size() ? static_cast<unsigned char>(text[i + k]) : 0;
        if (next < low || next > high) {
            c = kNotUtf8;
            return k;
        }
        c = (c << 6) | (next & 0x3F);
        low = 0x80;
        high = 0xBF;
    }
    return extra + 1;
}

// Windows-1252 0x80..0x9F; the rest of the upper half is Latin-1.
const char16_t kWindows1252High[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                       0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                       0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                       0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

}  // namespace

std::string toUtf8(std::u16string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        char32_t c = text[i];
        if (isHighSurrogate(c) && i + 1 < text.size() && isLowSurrogate(text[i + 1])) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (isHighSurrogate(c) || isLowSurrogate(c)) {
            c = 0xFFFD;
        }
        appendUtf8(out, c);
    }
    return out;
}

std::u16string fromUtf8(std::string_view text) {
    std::u16string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        char32_t c = 0;
        i += decodeAt(text, i, c);
        appendUtf16(out, c == kNotUtf8 ? 0xFFFD : c);
    }
    return out;
}

bool fromUtf8Strict(std::string_view bytes, std::u16string& out) {
    out.clear();
    out.reserve(bytes.size());
    for (size_t i = 0; i < bytes.size();) {
        char32_t c = 0;
        i += decodeAt(bytes, i, c);
        if (c == kNotUtf8) return false;
        appendUtf16(out, c);
    }
    return true;
}

std::u16string fromWindows1252(std::string_view bytes) {
    std::u16string out;
    out.reserve(bytes.size());
    for (char b : bytes) {
        unsigned char c = static_cast<unsigned char>(b);
        out += (c >= 0x80 && c < 0xA0) ? kWindows1252High[c - 0x80] : static_cast<char16_t>(c);
    }
    return out;
}

std::string toWindows1252(std::u16string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char16_t c : text) {
        if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) {
            out += static_cast<char>(c);
            continue;
        }
        char byte = '?';
        for (int i = 0; i < 32; ++i)
            if (kWindows1252High[i] == c) byte = static_cast<char>(0x80 + i);
        out += byte;
    }
    return out;
}

std::string utf16leBytes(std::u16string_view text) {
    std::string bytes(text.size() * 2, '\0');
    for (size_t i = 0; i < text.size(); ++i) {
        bytes[2 * i] = static_cast<char>(text[i] & 0xFF);
        bytes[2 * i + 1] = static_cast<char>(text[i] >> 8);
    }
    return bytes;
}

std::u16string fromUtf16leBytes(std::string_view bytes) {
    std::u16string text(bytes.size() / 2, u'\0');
    for (size_t i = 0; i < text.size(); ++i) {
        text[i] = static_cast<char16_t>(static_cast<unsigned char>(bytes[2 * i]) |
                                        (static_cast<unsigned char>(bytes[2 * i + 1]) << 8));
    }
    return text;
}

}  // namespace plxtext
