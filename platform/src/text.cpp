// Case folding and the kernel32/user32 string functions (lstr*, wsprintfW).
// None of these needs a machine.
#include "internal.h"

#include <cstdarg>
#include <cstring>

namespace plxsim {

std::string toUtf8(LPCWSTR text) { return toUtf8(toU16(text)); }

std::u16string toU16(LPCWSTR text) { return text ? std::u16string(text) : std::u16string(); }

namespace {
#include "upcase_table.inc"
}  // namespace

char16_t upcaseChar(char16_t c) { return static_cast<char16_t>(c + kUpcaseDelta[kUpcaseBlock[c >> 5]][c & 31]); }

std::u16string upcase(const std::u16string& text) {
    std::u16string out(text);
    for (char16_t& c : out) c = upcaseChar(c);
    return out;
}

bool equalNoCase(const std::u16string& a, const std::u16string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (a[i] != b[i] && upcaseChar(a[i]) != upcaseChar(b[i])) return false;
    return true;
}

bool equalNoCase(const std::u16string& a, const char16_t* b) {
    size_t i = 0;
    for (; i < a.size() && b[i]; ++i)
        if (a[i] != b[i] && upcaseChar(a[i]) != upcaseChar(b[i])) return false;
    return i == a.size() && !b[i];
}

}  // namespace plxsim

// ---------------------------------------------------------------- lstr*

namespace {

// lstrcmp(i)W compare linguistically (word sort), not by code unit.  This is an
// approximation that is exact for what the system compares: punctuation sorts
// before digits, digits before letters, letters alphabetically regardless of
// case; only when the texts are otherwise equal does case decide, lower case
// first ("a" < "A" < "b").
int primaryWeight(char16_t c) {
    char16_t u = plxsim::upcaseChar(c);
    if ((u >= u'A' && u <= u'Z') || (u >= 0xC0 && u <= 0xDE && u != 0xD7)) return 0x3000 + u;
    if (c >= u'0' && c <= u'9') return 0x2000 + c;
    if (c < 0x80) return 0x1000 + c;
    return 0x4000 + u;
}

}  // namespace

int WINAPI lstrlenW(LPCWSTR lpString) {
    if (!lpString) return 0;
    int n = 0;
    while (lpString[n]) ++n;
    return n;
}

static int compareLinguistic(LPCWSTR a, LPCWSTR b, bool ignoreCase) {
    if (!a && !b) return 0;
    if (!a) return -1;
    if (!b) return 1;
    size_t i = 0;
    for (;; ++i) {
        if (!a[i] || !b[i]) break;
        int wa = primaryWeight(a[i]), wb = primaryWeight(b[i]);
        if (wa != wb) return wa < wb ? -1 : 1;
    }
    if (a[i] || b[i]) return a[i] ? 1 : -1;  // the shorter text sorts first
    if (ignoreCase) return 0;
    for (size_t k = 0; k < i; ++k) {
        if (a[k] == b[k]) continue;
        bool lowerA = plxsim::upcaseChar(a[k]) != a[k];
        return lowerA ? -1 : 1;  // lower case before upper case
    }
    return 0;
}

int WINAPI lstrcmpW(LPCWSTR lpString1, LPCWSTR lpString2) { return compareLinguistic(lpString1, lpString2, false); }

int WINAPI lstrcmpiW(LPCWSTR lpString1, LPCWSTR lpString2) { return compareLinguistic(lpString1, lpString2, true); }

LPWSTR WINAPI lstrcpyW(LPWSTR lpString1, LPCWSTR lpString2) {
    if (!lpString1 || !lpString2) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    LPWSTR d = lpString1;
    while ((*d++ = *lpString2++) != 0) {
    }
    return lpString1;
}

LPWSTR WINAPI lstrcpynW(LPWSTR lpString1, LPCWSTR lpString2, int iMaxLength) {
    if (!lpString1 || (!lpString2 && iMaxLength > 1)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    // Copies at most iMaxLength - 1 characters and always terminates (when iMaxLength > 0).
    LPWSTR d = lpString1;
    unsigned count = static_cast<unsigned>(iMaxLength);
    while (count > 1 && *lpString2) {
        --count;
        *d++ = *lpString2++;
    }
    if (count) *d = 0;
    return lpString1;
}

LPWSTR WINAPI lstrcatW(LPWSTR lpString1, LPCWSTR lpString2) {
    if (!lpString1 || !lpString2) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    lstrcpyW(lpString1 + lstrlenW(lpString1), lpString2);
    return lpString1;
}

// ---------------------------------------------------------------- wsprintfW

namespace {

// wsprintfW never writes more than 1024 characters including the terminator.
constexpr size_t kWsprintfMax = 1024;

struct Spec {
    bool left = false, alt = false, zero = false;
    size_t width = 0;
    bool hasPrecision = false;
    size_t precision = 0;
};

void pad(std::u16string& out, const std::u16string& body, const Spec& spec, char16_t fill) {
    if (!spec.left && body.size() < spec.width) out.append(spec.width - body.size(), fill);
    out += body;
    if (spec.left && body.size() < spec.width) out.append(spec.width - body.size(), u' ');
}

std::u16string digits(unsigned long long value, unsigned base, bool upper) {
    const char* set = upper ? "0123456789ABCDEF" : "0123456789abcdef";
    std::u16string text;
    do {
        text.insert(text.begin(), static_cast<char16_t>(set[value % base]));
        value /= base;
    } while (value);
    return text;
}

void formatNumber(std::u16string& out, const Spec& spec, char type, bool negative, unsigned long long magnitude) {
    std::u16string body = digits(magnitude, (type == 'x' || type == 'X') ? 16 : 10, type == 'X');
    if (spec.hasPrecision && body.size() < spec.precision) body.insert(0, spec.precision - body.size(), u'0');
    std::u16string prefix;
    if (negative) prefix = u"-";
    if (spec.alt && (type == 'x' || type == 'X')) prefix = type == 'x' ? u"0x" : u"0X";
    if (spec.zero && !spec.left) {
        // Zeros go between the sign or prefix and the digits.
        size_t total = prefix.size() + body.size();
        if (total < spec.width) body.insert(0, spec.width - total, u'0');
    }
    pad(out, prefix + body, spec, u' ');
}

}  // namespace

int WINAPIV wsprintfW(LPWSTR lpOut, LPCWSTR lpFmt, ...) {
    if (!lpOut || !lpFmt) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    va_list args;
    va_start(args, lpFmt);
    std::u16string out;
    const WCHAR* p = lpFmt;
    while (*p && out.size() < kWsprintfMax) {
        if (*p != u'%') {
            out += *p++;
            continue;
        }
        ++p;
        Spec spec;
        for (;; ++p) {
            if (*p == u'-')
                spec.left = true;
            else if (*p == u'#')
                spec.alt = true;
            else if (*p == u'0')
                spec.zero = true;
            else
                break;
        }
        while (*p >= u'0' && *p <= u'9') spec.width = spec.width * 10 + (*p++ - u'0');
        if (*p == u'.') {
            ++p;
            spec.hasPrecision = true;
            while (*p >= u'0' && *p <= u'9') spec.precision = spec.precision * 10 + (*p++ - u'0');
        }
        // Size prefixes: l (long, 32 bits on Windows), h (short / narrow text), w (wide), I64.
        bool narrow = false, wide = false, is64 = false;
        if (*p == u'l' || *p == u'w') {
            wide = true;
            ++p;
        } else if (*p == u'h') {
            narrow = true;
            ++p;
        } else if (p[0] == u'I' && p[1] == u'6' && p[2] == u'4') {
            is64 = true;
            p += 3;
        } else if (p[0] == u'I' && p[1] == u'3' && p[2] == u'2') {
            p += 3;
        } else if (p[0] == u'I') {
            is64 = sizeof(void*) == 8;  // pointer-sized
            ++p;
        }
        char type = *p < 0x80 ? static_cast<char>(*p) : '?';
        if (!*p) break;
        ++p;
        switch (type) {
        case 'c':
        case 'C': {
            int value = va_arg(args, int);
            bool asNarrow = narrow || (type == 'C' && !wide);
            char16_t c =
                asNarrow ? static_cast<char16_t>(static_cast<unsigned char>(value)) : static_cast<char16_t>(value);
            if (c) pad(out, std::u16string(1, c), spec, spec.zero && !spec.left ? u'0' : u' ');
            break;
        }
        case 's':
        case 'S': {
            bool asNarrow = narrow || (type == 'S' && !wide);
            std::u16string text;
            if (asNarrow) {
                const char* s = va_arg(args, const char*);
                if (!s) s = "(null)";
                for (; *s; ++s) text += static_cast<char16_t>(static_cast<unsigned char>(*s));
            } else {
                const char16_t* s = va_arg(args, const char16_t*);
                text = s ? std::u16string(s) : std::u16string(u"(null)");
            }
            if (spec.hasPrecision && text.size() > spec.precision) text.resize(spec.precision);
            pad(out, text, spec, spec.zero && !spec.left ? u'0' : u' ');
            break;
        }
        case 'd':
        case 'i': {
            long long value = is64 ? va_arg(args, long long) : static_cast<long long>(va_arg(args, int));
            if (narrow) value = static_cast<short>(value);
            unsigned long long magnitude =
                value < 0 ? static_cast<unsigned long long>(-(value + 1)) + 1 : static_cast<unsigned long long>(value);
            formatNumber(out, spec, 'd', value < 0, magnitude);
            break;
        }
        case 'u':
        case 'x':
        case 'X': {
            unsigned long long value =
                is64 ? va_arg(args, unsigned long long) : static_cast<unsigned long long>(va_arg(args, unsigned int));
            if (narrow) value = static_cast<unsigned short>(value);
            formatNumber(out, spec, type, false, value);
            break;
        }
        case 'p': {
            void* value = va_arg(args, void*);
            Spec pointerSpec = spec;
            pointerSpec.hasPrecision = true;
            pointerSpec.precision = sizeof(void*) * 2;
            formatNumber(out, pointerSpec, 'X', false, reinterpret_cast<uintptr_t>(value));
            break;
        }
        default:
            // Not a conversion: the character itself ("%%" gives "%").
            out += p[-1];
            break;
        }
    }
    va_end(args);
    if (out.size() > kWsprintfMax - 1) out.resize(kWsprintfMax - 1);
    std::memcpy(lpOut, out.data(), out.size() * sizeof(WCHAR));
    lpOut[out.size()] = 0;
    return static_cast<int>(out.size());
}
