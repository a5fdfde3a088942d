#include "plx_reg_text.h"

#include "plx_text_codec.h"

namespace plxtext {

// ------------------------------------------------------------------ decoding

namespace {

bool startsWithBytes(std::string_view bytes, std::string_view prefix) {
    return bytes.substr(0, prefix.size()) == prefix;
}

}  // namespace

std::u16string decodeRegBytes(std::string_view bytes) {
    auto byteAt = [&](size_t i) { return static_cast<unsigned char>(bytes[i]); };
    const bool littleEndian = bytes.size() >= 2 && byteAt(0) == 0xFF && byteAt(1) == 0xFE;
    if (littleEndian || (bytes.size() >= 2 && byteAt(0) == 0xFE && byteAt(1) == 0xFF)) {
        std::u16string text((bytes.size() - 2) / 2, u'\0');
        const int low = littleEndian ? 0 : 1;
        for (size_t i = 0; i < text.size(); ++i)
            text[i] = static_cast<char16_t>(byteAt(2 + 2 * i + low) | (byteAt(3 + 2 * i - low) << 8));
        return text;
    }
    // regedit writes REGEDIT4 files in the ANSI code page and reads them so.
    if (startsWithBytes(bytes, "REGEDIT4")) return fromWindows1252(bytes);
    if (startsWithBytes(bytes, "\xEF\xBB\xBF")) bytes.remove_prefix(3);
    std::u16string text;
    if (fromUtf8Strict(bytes, text)) return text;
    return fromWindows1252(bytes);
}

// ------------------------------------------------------------------ reader

namespace {

using View = std::u16string_view;

// winnt.h's value types that the text forms name.
const uint32_t kRegSz = 1, kRegExpandSz = 2, kRegBinary = 3, kRegDword = 4, kRegMultiSz = 7;
// Bad lines reported one by one; the rest are only counted.
const size_t kBadLinesKept = 100;

bool isSpace(char16_t c) { return c == u' ' || c == u'\t' || c == u'\r' || c == 0xFEFF; }

View trim(View s) {
    size_t b = 0, e = s.size();
    while (b < e && isSpace(s[b])) ++b;
    while (e > b && isSpace(s[e - 1])) --e;
    return s.substr(b, e - b);
}

bool startsWithNoCase(View s, View prefix) {
    if (s.size() < prefix.size()) return false;
    for (size_t i = 0; i < prefix.size(); ++i) {
        char16_t a = s[i], b = prefix[i];
        if (a >= u'a' && a <= u'z') a = static_cast<char16_t>(a - 32);
        if (b >= u'a' && b <= u'z') b = static_cast<char16_t>(b - 32);
        if (a != b) return false;
    }
    return true;
}

int hexDigit(char16_t c) {
    if (c >= u'0' && c <= u'9') return c - u'0';
    if (c >= u'a' && c <= u'f') return c - u'a' + 10;
    if (c >= u'A' && c <= u'F') return c - u'A' + 10;
    return -1;
}

// Reads a quoted string starting at s[pos] == '"'; pos ends after the closing quote.
bool readQuoted(View s, size_t& pos, std::u16string& out) {
    out.clear();
    if (pos >= s.size() || s[pos] != u'"') return false;
    for (++pos; pos < s.size(); ++pos) {
        char16_t c = s[pos];
        if (c == u'"') {
            ++pos;
            return true;
        }
        if (c == u'\\' && pos + 1 < s.size()) {
            char16_t n = s[++pos];
            if (n == u'\\' || n == u'"') {
                out += n;
            } else if (n == u'n') {
                out += u'\n';
            } else if (n == u'r') {
                out += u'\r';
            } else if (n == u'0') {
                out += u'\0';
            } else {
                out += u'\\';
                out += n;
            }
        } else {
            out += c;
        }
    }
    return false;
}

// Appends the bytes of a comma-separated hex list (a part of one: a byte may
// not span two parts); false when it is malformed.
bool parseHexBytes(View text, std::vector<uint8_t>& out) {
    int acc = -1;
    for (char16_t c : text) {
        if (isSpace(c) || c == u'\\') continue;
        if (c == u',') {
            if (acc < 0) return false;
            out.push_back(static_cast<uint8_t>(acc));
            acc = -1;
            continue;
        }
        int d = hexDigit(c);
        if (d < 0) return false;
        if (acc < 0) {
            acc = d;
        } else {
            if (acc > 0x0F) return false;  // three digits
            acc = acc * 16 + d;
        }
    }
    if (acc >= 0) out.push_back(static_cast<uint8_t>(acc));
    return true;
}

std::vector<uint8_t> textData(const std::u16string& text) {
    std::vector<uint8_t> data(text.size() * 2 + 2, 0);
    for (size_t i = 0; i < text.size(); ++i) {
        data[2 * i] = static_cast<uint8_t>(text[i] & 0xFF);
        data[2 * i + 1] = static_cast<uint8_t>(text[i] >> 8);
    }
    return data;
}

// "ROOT\a\b" to its components; false for an empty or malformed path.
bool splitSectionPath(View path, std::vector<View>& parts) {
    parts.clear();
    size_t start = 0;
    while (start < path.size()) {
        size_t end = path.find(u'\\', start);
        if (end == View::npos) end = path.size();
        parts.push_back(path.substr(start, end - start));
        start = end + 1;
    }
    while (!parts.empty() && parts.back().empty()) parts.pop_back();  // trailing "\"
    if (parts.empty()) return false;
    for (View p : parts)
        if (p.empty()) return false;
    return true;
}

class RegTextReader {
public:
    RegTextReader(View text, RegTextSink& sink) : m_text(text), m_sink(sink) {}

    RegParseResult run() {
        View line;
        while (nextLine(line)) {
            View s = trim(line);
            if (s.empty() || s[0] == u';') continue;
            if (s == u"Windows Registry Editor Version 5.00" || s == u"REGEDIT4") {
                m_result.hasHeader = true;
                m_ansi = s == u"REGEDIT4";
                continue;
            }
            if (s[0] == u'[') {
                section(s);
            } else if (!m_skipSection) {
                if (!m_open)
                    bad("a value outside a section");
                else if (const char* why = value(s))
                    bad(why);
            }
        }
        return m_result;
    }

private:
    bool nextLine(View& line) {
        if (m_next > m_text.size()) return false;
        size_t end = m_text.find(u'\n', m_next);
        if (end == View::npos) end = m_text.size();
        line = m_text.substr(m_next, end - m_next);
        m_next = end + 1;
        ++m_lineNumber;
        return true;
    }

    void bad(const char* why) {
        ++m_result.badLines;
        if (m_result.firstBadLines.size() < kBadLinesKept)
            m_result.firstBadLines.push_back(RegBadLine{m_lineNumber, why});
    }

    void section(View s) {
        m_open = false;
        m_skipSection = false;
        size_t close = s.rfind(u']');
        if (close == View::npos || close < 1) return bad("a section line without its closing ]");
        View inner = s.substr(1, close - 1);
        bool remove = !inner.empty() && inner[0] == u'-';
        if (remove) inner = inner.substr(1);
        if (!splitSectionPath(inner, m_parts)) return bad("a section that names no key");
        if (const char* why = m_sink.section(m_parts, remove, m_skipSection)) return bad(why);
        m_open = !m_skipSection;
    }

    // Null when the line was a value; else why it was not understood.
    const char* value(View s) {
        size_t pos = 0;
        if (s[0] == u'@') {
            pos = 1;
            m_name.clear();
        } else if (s[0] != u'"') {
            return "not a value line (\"name\"=data or @=data)";
        } else if (!readQuoted(s, pos, m_name)) {
            return "a value name without its closing quote";
        }
        while (pos < s.size() && isSpace(s[pos])) ++pos;
        if (pos >= s.size() || s[pos] != u'=') return "a value name without = after it";
        View data = trim(s.substr(pos + 1));
        if (data == u"-") {
            m_sink.removeValue(m_name);
            return nullptr;
        }
        if (!data.empty() && data[0] == u'"') {
            size_t p = 0;
            std::u16string text;
            if (!readQuoted(data, p, text)) return "a text without its closing quote (a text is one line)";
            if (!trim(data.substr(p)).empty()) return "more after the closing quote of a text";
            m_sink.setValue(m_name, kRegSz, textData(text));
            return nullptr;
        }
        if (startsWithNoCase(data, u"dword:")) {
            View digits = trim(data.substr(6));
            if (digits.empty() || digits.size() > 8) return "a dword that is not 1 to 8 hex digits";
            uint32_t number = 0;
            for (char16_t c : digits) {
                int d = hexDigit(c);
                if (d < 0) return "a dword that is not 1 to 8 hex digits";
                number = number * 16 + static_cast<uint32_t>(d);
            }
            m_sink.setValue(m_name, kRegDword,
                            {static_cast<uint8_t>(number), static_cast<uint8_t>(number >> 8),
                             static_cast<uint8_t>(number >> 16), static_cast<uint8_t>(number >> 24)});
            return nullptr;
        }
        if (startsWithNoCase(data, u"hex")) return hexValue(data);
        return "data that is not a text, dword: or hex list";
    }

    const char* hexValue(View data) {
        size_t pos = 3;
        uint32_t type = kRegBinary;
        if (pos < data.size() && data[pos] == u'(') {
            size_t close = data.find(u')', pos);
            if (close == View::npos || close == pos + 1 || close - pos - 1 > 8)
                return "a hex type that is not hex(1 to 8 hex digits)";
            type = 0;
            for (size_t i = pos + 1; i < close; ++i) {
                int d = hexDigit(data[i]);
                if (d < 0) return "a hex type that is not hex(1 to 8 hex digits)";
                type = type * 16 + static_cast<uint32_t>(d);
            }
            pos = close + 1;
        }
        if (pos >= data.size() || data[pos] != u':') return "hex without : before its bytes";
        std::vector<uint8_t> bytes;
        View list = trim(data.substr(pos + 1));
        bool ok = true;
        // A list ending in "\" continues on the next line.
        for (;;) {
            bool more = !list.empty() && list.back() == u'\\';
            if (more) list.remove_suffix(1);
            ok = parseHexBytes(list, bytes) && ok;
            View next;
            if (!more || !nextLine(next)) break;
            list = trim(next);
        }
        if (!ok) return "a hex list that is not bytes of two hex digits separated by commas";
        if (m_ansi && (type == kRegExpandSz || type == kRegMultiSz)) {
            // REGEDIT4 holds these as ANSI bytes; the registry holds UTF-16.
            std::string ansi(bytes.begin(), bytes.end());
            std::string wide = utf16leBytes(fromWindows1252(ansi));
            bytes.assign(wide.begin(), wide.end());
        }
        m_sink.setValue(m_name, type, std::move(bytes));
        return nullptr;
    }

    const View m_text;
    RegTextSink& m_sink;
    bool m_ansi = false;
    size_t m_next = 0;
    size_t m_lineNumber = 0;
    bool m_open = false;  // the last section takes values
    bool m_skipSection = false;
    std::vector<View> m_parts;
    std::u16string m_name;
    RegParseResult m_result;
};

}  // namespace

RegParseResult readRegText(std::u16string_view text, RegTextSink& sink) { return RegTextReader(text, sink).run(); }

}  // namespace plxtext
