// Profile (.ini) files of the simulated machine: GetPrivateProfile* and
// WritePrivateProfile* on files of the machine, as Windows reads and edits them.
//
// A file is text in the ANSI code page (Windows-1252) unless it starts with
// the UTF-16LE byte order mark FF FE.  A UTF-8 byte order mark is not
// understood: its bytes are ANSI text, which spoils a section header on the
// first line, as on Windows.  A file these functions create is ANSI.
//
// "[name]" opens a section (what follows the ']' is ignored); a line whose
// first character other than blanks is ';' is a comment; "key=value" is an
// entry, blanks around key and value ignored; a line without '=' is an entry
// without a value, which no lookup finds and no list of keys names.  A line
// that starts with a NUL is blank.  Lines before the first section belong to
// none.  Names match without regard to case; only the first section of a
// name counts, and in it the first entry of a key.
//
// Writes edit the text in place, as Windows does: lines they do not change
// keep their bytes, comments and blank lines included, and the file keeps its
// encoding.  A new entry follows the last entry of its section, a new section
// goes to the end of the file; new lines are "key=value" with CR LF.  A write
// to a file that is not there creates it, even when it changes nothing.
#include "internal.h"

#include <functional>

namespace plxsim {
namespace {

constexpr size_t npos = std::u16string::npos;
const std::u16string kCrLf = u"\r\n";

bool isBlank(char16_t c) { return c == u' ' || c == u'\t' || c == u'\v'; }

std::u16string trimBlanks(const std::u16string& text) {
    size_t b = 0, e = text.size();
    while (b < e && isBlank(text[b])) ++b;
    while (e > b && isBlank(text[e - 1])) --e;
    return text.substr(b, e - b);
}

// A section or key name as the caller gives it: Windows drops the spaces
// around it, but not other blanks.
std::u16string givenName(LPCWSTR name) {
    std::u16string text = toU16(name);
    size_t b = text.find_first_not_of(u' ');
    if (b == npos) return u"";
    return text.substr(b, text.find_last_not_of(u' ') - b + 1);
}

enum class LineKind { blank, comment, section, entry };

struct LineInfo {
    LineKind kind = LineKind::blank;
    std::u16string name;    // of a section or an entry
    bool hasValue = false;  // an entry with '='
    std::u16string value;
};

LineInfo classify(const std::u16string& text) {
    LineInfo info;
    size_t b = 0;
    while (b < text.size() && isBlank(text[b])) ++b;
    if (b == text.size() || text[b] == u'\0') return info;
    if (text[b] == u';') {
        info.kind = LineKind::comment;
    } else if (text[b] == u'[') {
        info.kind = LineKind::section;
        size_t close = text.find(u']', b + 1);
        info.name = trimBlanks(text.substr(b + 1, close == npos ? npos : close - b - 1));
    } else {
        info.kind = LineKind::entry;
        size_t eq = text.find(u'=', b);
        info.name = trimBlanks(text.substr(b, eq == npos ? npos : eq - b));
        if (eq != npos) {
            info.hasValue = true;
            info.value = trimBlanks(text.substr(eq + 1));
        }
    }
    return info;
}

// What a lookup gives for an entry's value: one pair of matching quotes
// around it is dropped, and Windows keeps the length in 16 bits, so a value of
// 65536 characters or more reads as its first (length mod 65536) characters.
std::u16string valueRead(std::u16string value) {
    if (value.size() >= 2 && (value[0] == u'"' || value[0] == u'\'') && value.back() == value[0])
        value = value.substr(1, value.size() - 2);
    value.resize(value.size() & 0xFFFF);
    return value;
}

struct Line {
    std::u16string text;
    std::u16string end;  // "\r\n", "\n", "\r", or "" for a last line without a break
};

class Profile {
public:
    // Reads the file, opened as Windows opens it; false, with the error of
    // opening it, when it cannot be (a missing file leaves an empty profile).
    bool load(const std::u16string& path, bool forWriting, DWORD& error);
    bool save(const std::u16string& path, DWORD& error) const;
    bool existed() const { return m_existed; }

    std::vector<std::u16string> sectionNames() const;
    size_t sectionLine(const std::u16string& name) const;  // the first section's header, or npos
    std::vector<std::u16string> keyNames(size_t header) const;
    std::vector<std::u16string> entries(size_t header) const;
    size_t entryLine(size_t header, const std::u16string& key) const;  // or npos
    std::u16string valueAt(size_t line) const { return classify(m_lines[line].text).value; }

    // Edits; each returns whether the text changed.
    bool setValue(const std::u16string& section, const std::u16string& key, const std::u16string& value);
    bool deleteKey(const std::u16string& section, const std::u16string& key);
    bool deleteSection(const std::u16string& section);
    bool replaceSection(const std::u16string& section, const std::vector<std::u16string>& lines);

private:
    size_t sectionEnd(size_t header) const;
    void insertAfter(size_t line, const std::u16string& text);
    void appendSection(const std::u16string& name, const std::vector<std::u16string>& lines);
    // Removes the section's entries, and its header too if asked; comments and blank lines stay.
    void removeEntries(size_t header, bool withHeader);

    std::vector<Line> m_lines;
    bool m_existed = false;
    bool m_hadBytes = false;
    bool m_utf16 = false;
    std::string m_oddByte;  // a last byte of a UTF-16 file that makes no character
};

bool Profile::load(const std::u16string& path, bool forWriting, DWORD& error) {
    DWORD access = GENERIC_READ | (forWriting ? GENERIC_WRITE : 0);
    HANDLE file = CreateFileW(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        error = GetLastError();
        return false;
    }
    std::string bytes;
    char buffer[65536];
    DWORD n = 0;
    while (ReadFile(file, buffer, sizeof buffer, &n, nullptr) && n) bytes.append(buffer, n);
    CloseHandle(file);
    m_existed = true;
    m_hadBytes = !bytes.empty();

    std::u16string text;
    m_utf16 = bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
              static_cast<unsigned char>(bytes[1]) == 0xFE;
    if (m_utf16) {
        text = plxtext::fromUtf16leBytes(std::string_view(bytes).substr(2));
        m_oddByte = bytes.size() % 2 ? bytes.substr(bytes.size() - 1) : std::string();
    } else {
        text = fromWindows1252(bytes);
    }
    // CR LF, LF and a lone CR all end a line.
    for (size_t pos = 0; pos < text.size();) {
        size_t brk = text.find_first_of(u"\r\n", pos);
        if (brk == npos) {
            m_lines.push_back({text.substr(pos), u""});
            break;
        }
        size_t length = text.compare(brk, 2, kCrLf) == 0 ? 2 : 1;
        m_lines.push_back({text.substr(pos, brk - pos), text.substr(brk, length)});
        pos = brk + length;
    }
    return true;
}

bool Profile::save(const std::u16string& path, DWORD& error) const {
    std::u16string text;
    for (const Line& line : m_lines) text += line.text + line.end;
    std::string bytes;
    if (m_utf16) {
        bytes = "\xFF\xFE" + plxtext::utf16leBytes(text) + m_oddByte;
    } else {
        bytes = toWindows1252(text);
    }
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        error = GetLastError();
        return false;
    }
    DWORD written = 0;
    bool ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    error = GetLastError();
    CloseHandle(file);
    return ok;
}

std::vector<std::u16string> Profile::sectionNames() const {
    std::vector<std::u16string> names;
    for (const Line& line : m_lines) {
        LineInfo info = classify(line.text);
        // A header without a name would end the list early.
        if (info.kind == LineKind::section && !info.name.empty()) names.push_back(info.name);
    }
    return names;
}

size_t Profile::sectionLine(const std::u16string& name) const {
    for (size_t i = 0; i < m_lines.size(); ++i) {
        LineInfo info = classify(m_lines[i].text);
        if (info.kind == LineKind::section && equalNoCase(info.name, name)) return i;
    }
    return npos;
}

size_t Profile::sectionEnd(size_t header) const {
    size_t i = header + 1;
    while (i < m_lines.size() && classify(m_lines[i].text).kind != LineKind::section) ++i;
    return i;
}

std::vector<std::u16string> Profile::keyNames(size_t header) const {
    std::vector<std::u16string> names;
    for (size_t i = header + 1, end = sectionEnd(header); i < end; ++i) {
        LineInfo info = classify(m_lines[i].text);
        if (info.kind == LineKind::entry && info.hasValue) names.push_back(info.name);
    }
    return names;
}

std::vector<std::u16string> Profile::entries(size_t header) const {
    std::vector<std::u16string> lines;
    for (size_t i = header + 1, end = sectionEnd(header); i < end; ++i) {
        LineInfo info = classify(m_lines[i].text);
        if (info.kind == LineKind::entry) lines.push_back(info.hasValue ? info.name + u"=" + info.value : info.name);
    }
    return lines;
}

size_t Profile::entryLine(size_t header, const std::u16string& key) const {
    for (size_t i = header + 1, end = sectionEnd(header); i < end; ++i) {
        LineInfo info = classify(m_lines[i].text);
        if (info.kind == LineKind::entry && info.hasValue && equalNoCase(info.name, key)) return i;
    }
    return npos;
}

void Profile::insertAfter(size_t line, const std::u16string& text) {
    if (m_lines[line].end.empty()) m_lines[line].end = kCrLf;
    m_lines.insert(m_lines.begin() + static_cast<std::ptrdiff_t>(line + 1), Line{text, kCrLf});
}

void Profile::appendSection(const std::u16string& name, const std::vector<std::u16string>& lines) {
    // The header starts a line of its own; Windows also counts a byte order
    // mark as text that a line break must follow.
    if (!m_lines.empty() && m_lines.back().end.empty())
        m_lines.back().end = kCrLf;
    else if (m_lines.empty() && m_hadBytes)
        m_lines.push_back({u"", kCrLf});
    m_lines.push_back({u"[" + name + u"]", kCrLf});
    for (const std::u16string& text : lines) m_lines.push_back({text, kCrLf});
}

void Profile::removeEntries(size_t header, bool withHeader) {
    size_t end = sectionEnd(header);
    for (size_t i = end; i-- > header + 1;)
        if (classify(m_lines[i].text).kind == LineKind::entry)
            m_lines.erase(m_lines.begin() + static_cast<std::ptrdiff_t>(i));
    if (withHeader) m_lines.erase(m_lines.begin() + static_cast<std::ptrdiff_t>(header));
}

bool Profile::setValue(const std::u16string& section, const std::u16string& key, const std::u16string& value) {
    size_t header = sectionLine(section);
    if (header == npos) {
        appendSection(section, {key + u"=" + value});
        return true;
    }
    size_t line = entryLine(header, key);
    if (line != npos) {
        // The key keeps the spelling the file gives it.
        m_lines[line].text = classify(m_lines[line].text).name + u"=" + value;
        if (m_lines[line].end.empty()) m_lines[line].end = kCrLf;
        return true;
    }
    size_t last = header;
    for (size_t i = header + 1, end = sectionEnd(header); i < end; ++i)
        if (classify(m_lines[i].text).kind == LineKind::entry) last = i;
    insertAfter(last, key + u"=" + value);
    return true;
}

bool Profile::deleteKey(const std::u16string& section, const std::u16string& key) {
    size_t header = sectionLine(section);
    size_t line = header == npos ? npos : entryLine(header, key);
    if (line == npos) return false;
    m_lines.erase(m_lines.begin() + static_cast<std::ptrdiff_t>(line));
    return true;
}

bool Profile::deleteSection(const std::u16string& section) {
    size_t header = sectionLine(section);
    if (header == npos) return false;
    removeEntries(header, true);
    return true;
}

bool Profile::replaceSection(const std::u16string& section, const std::vector<std::u16string>& lines) {
    size_t header = sectionLine(section);
    if (header == npos) {
        appendSection(section, lines);
        return true;
    }
    removeEntries(header, false);
    for (size_t i = 0; i < lines.size(); ++i) insertAfter(header + i, lines[i]);
    return true;
}

// A file named without a path lies in the Windows directory; no name is Win.ini.
std::u16string profilePath(LPCWSTR fileName) {
    std::u16string name = fileName ? toU16(fileName) : u"win.ini";
    if (name.find_first_of(u"\\/:") != npos) return name;
    WCHAR windows[MAX_PATH];
    UINT length = GetWindowsDirectoryW(windows, MAX_PATH);
    return std::u16string(windows, length) + u"\\" + name;
}

// A single string: cut to the buffer when it does not fit, ERROR_MORE_DATA.
DWORD copyString(LPWSTR buffer, DWORD size, const std::u16string& text) {
    if (text.size() < size) {
        text.copy(buffer, text.size());
        buffer[text.size()] = 0;
        return static_cast<DWORD>(text.size());
    }
    SetLastError(ERROR_MORE_DATA);
    if (size == 0) return 0;
    text.copy(buffer, size - 1);
    buffer[size - 1] = 0;
    return size - 1;
}

// A list: each string followed by a null, the list by another.  A list that
// does not fit, or that would fill the buffer to the last character, is cut
// so that two nulls end what fits of it, and the count is then size - 2 (0 for
// a buffer of fewer than two characters).
DWORD copyList(LPWSTR buffer, DWORD size, const std::vector<std::u16string>& strings) {
    std::u16string list;
    for (const std::u16string& text : strings) {
        list += text;
        list += u'\0';
    }
    if (list.size() + 2 <= size) {
        list.copy(buffer, list.size());
        buffer[list.size()] = 0;
        return static_cast<DWORD>(list.size());
    }
    if (size == 0) return 0;
    if (size == 1) {
        buffer[0] = 0;
        return 0;
    }
    list.copy(buffer, size - 2);
    buffer[size - 2] = buffer[size - 1] = 0;
    return size - 2;
}

// A value as GetPrivateProfileIntW reads it, the way RtlUnicodeStringToInteger
// does with base 0: blanks, a sign, a 0x/0o/0b prefix, then the digits that
// follow (none give 0, not the default), modulo 2^32.
UINT toInteger(const std::u16string& text) {
    size_t i = 0;
    while (i < text.size() && text[i] <= u' ') ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) negative = text[i++] == u'-';
    unsigned base = 10;
    if (i + 1 < text.size() && text[i] == u'0') {
        char16_t p = text[i + 1];
        base = (p == u'x' || p == u'X') ? 16 : (p == u'o' || p == u'O') ? 8 : (p == u'b' || p == u'B') ? 2 : 10;
        if (base != 10) i += 2;
    }
    uint32_t value = 0;
    for (; i < text.size(); ++i) {
        char16_t c = text[i];
        unsigned digit = (c >= u'0' && c <= u'9')   ? c - u'0'
                         : (c >= u'a' && c <= u'f') ? c - u'a' + 10
                         : (c >= u'A' && c <= u'F') ? c - u'A' + 10
                                                    : 16;
        if (digit >= base) break;
        value = value * base + digit;
    }
    return negative ? 0u - value : value;
}

// A write: the file is opened for reading and writing first, so that a file
// that may not be written fails the call even when nothing would change.
BOOL editProfile(LPCWSTR fileName, const std::function<bool(Profile&)>& change) {
    std::u16string path = profilePath(fileName);
    Profile profile;
    DWORD error = 0;
    if (!profile.load(path, true, error) && error != ERROR_FILE_NOT_FOUND) {
        SetLastError(error);
        return FALSE;
    }
    // Windows opens the file for writing even when nothing changes: a file
    // that was not there is created, empty.
    if ((change(profile) || !profile.existed()) && !profile.save(path, error)) {
        SetLastError(error);
        return FALSE;
    }
    // A write to a file that was not there leaves the error of looking for it, as on Windows.
    SetLastError(profile.existed() ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND);
    return TRUE;
}

}  // namespace
}  // namespace plxsim

using namespace plxsim;

DWORD WINAPI GetPrivateProfileStringW(LPCWSTR lpAppName, LPCWSTR lpKeyName, LPCWSTR lpDefault, LPWSTR lpReturnedString,
                                      DWORD nSize, LPCWSTR lpFileName) {
    if (!lpReturnedString) return 0;
    // A read that fails finds the file unreadable, as when it cannot be opened.
    ApiCall call("GetPrivateProfileStringW", lpFileName, lpKeyName);
    Profile profile;
    DWORD error = call.fault();
    bool loaded = !error && profile.load(profilePath(lpFileName), false, error);
    if (!lpAppName) {
        SetLastError(loaded ? ERROR_SUCCESS : error);
        return copyList(lpReturnedString, nSize, profile.sectionNames());
    }
    size_t header = profile.sectionLine(givenName(lpAppName));
    if (header != npos && !lpKeyName) {
        SetLastError(ERROR_SUCCESS);
        return copyList(lpReturnedString, nSize, profile.keyNames(header));
    }
    size_t line = header == npos ? npos : profile.entryLine(header, givenName(lpKeyName));
    if (line != npos) {
        SetLastError(ERROR_SUCCESS);
        return copyString(lpReturnedString, nSize, valueRead(profile.valueAt(line)));
    }
    // The default loses its trailing spaces (only spaces).
    std::u16string fallback = toU16(lpDefault);
    while (!fallback.empty() && fallback.back() == u' ') fallback.pop_back();
    SetLastError(loaded ? ERROR_FILE_NOT_FOUND : error);
    return copyString(lpReturnedString, nSize, fallback);
}

UINT WINAPI GetPrivateProfileIntW(LPCWSTR lpAppName, LPCWSTR lpKeyName, INT nDefault, LPCWSTR lpFileName) {
    ApiCall call("GetPrivateProfileIntW", lpFileName, lpKeyName);
    Profile profile;
    DWORD error = call.fault();
    if (error || !profile.load(profilePath(lpFileName), false, error)) {
        SetLastError(error);
        return static_cast<UINT>(nDefault);
    }
    // The text GetPrivateProfileStringW reads: without a section or key, the
    // list of names, whose first one the number is read from.
    size_t header = lpAppName ? profile.sectionLine(givenName(lpAppName)) : npos;
    std::vector<std::u16string> names;
    if (!lpAppName)
        names = profile.sectionNames();
    else if (header != npos && !lpKeyName)
        names = profile.keyNames(header);
    size_t line = header == npos || !lpKeyName ? npos : profile.entryLine(header, givenName(lpKeyName));
    std::u16string text = !names.empty() ? names[0] : line != npos ? valueRead(profile.valueAt(line)) : u"";
    if (text.empty()) return static_cast<UINT>(nDefault);
    return toInteger(text);
}

DWORD WINAPI GetPrivateProfileSectionW(LPCWSTR lpAppName, LPWSTR lpReturnedString, DWORD nSize, LPCWSTR lpFileName) {
    if (!lpAppName || !lpReturnedString) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    ApiCall call("GetPrivateProfileSectionW", lpFileName, lpAppName);
    Profile profile;
    DWORD error = call.fault();
    bool loaded = !error && profile.load(profilePath(lpFileName), false, error);
    size_t header = profile.sectionLine(givenName(lpAppName));
    SetLastError(loaded ? ERROR_SUCCESS : error);
    return copyList(lpReturnedString, nSize, header == npos ? std::vector<std::u16string>() : profile.entries(header));
}

DWORD WINAPI GetPrivateProfileSectionNamesW(LPWSTR lpszReturnBuffer, DWORD nSize, LPCWSTR lpFileName) {
    if (!lpszReturnBuffer || !nSize) return 0;
    ApiCall call("GetPrivateProfileSectionNamesW", lpFileName);
    Profile profile;
    DWORD error = call.fault();
    bool loaded = !error && profile.load(profilePath(lpFileName), false, error);
    SetLastError(loaded ? ERROR_SUCCESS : error);
    return copyList(lpszReturnBuffer, nSize, profile.sectionNames());
}

BOOL WINAPI WritePrivateProfileStringW(LPCWSTR lpAppName, LPCWSTR lpKeyName, LPCWSTR lpString, LPCWSTR lpFileName) {
    ApiCall call("WritePrivateProfileStringW", lpFileName, lpKeyName);
    if (call.fault()) return call.fail(FALSE);
    // All null asks to flush a cache that this machine does not keep.
    if (!lpAppName && !lpKeyName && !lpString) return TRUE;
    if (!lpAppName) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return FALSE;
    }
    std::u16string section = givenName(lpAppName);
    if (!lpKeyName) return editProfile(lpFileName, [&](Profile& p) { return p.deleteSection(section); });
    std::u16string key = givenName(lpKeyName);
    if (!lpString) return editProfile(lpFileName, [&](Profile& p) { return p.deleteKey(section, key); });
    std::u16string value = toU16(lpString);
    return editProfile(lpFileName, [&](Profile& p) { return p.setValue(section, key, value); });
}

BOOL WINAPI WritePrivateProfileSectionW(LPCWSTR lpAppName, LPCWSTR lpString, LPCWSTR lpFileName) {
    ApiCall call("WritePrivateProfileSectionW", lpFileName, lpAppName);
    if (call.fault()) return call.fail(FALSE);
    if (!lpAppName && !lpString) return TRUE;
    if (!lpAppName) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return FALSE;
    }
    std::u16string section = givenName(lpAppName);
    if (!lpString) return editProfile(lpFileName, [&](Profile& p) { return p.deleteSection(section); });
    std::vector<std::u16string> lines;
    for (LPCWSTR entry = lpString; *entry; entry += lines.back().size() + 1) lines.push_back(entry);
    return editProfile(lpFileName, [&](Profile& p) { return p.replaceSection(section, lines); });
}
