// CPLXWCharString: the library's NUL-terminated UTF-16 string.
//
// The text lives in a CPLXBuffer<unsigned short>.  A string without storage
// is invalid and stands for the empty string; editing that leaves no
// characters makes a string invalid again.  Positions are 0-based code-unit
// indexes.  Searches count occurrences from either end, overlapping ones
// included.  Failures are reported to the log and answered with false (or
// an empty result); only the constructors let an exception escape.
#ifndef PLX_WCHAR_STRING_H
#define PLX_WCHAR_STRING_H

#include <type_traits>

#include "plx_buffer.h"
#include "plx_dbllist.h"
#include "plx_flags.h"
#include "plx_win32.h"

// Search direction and parse mode.
enum PLXParseMode { pmFromStart = 1, pmFromEnd = 2 };
// Which occurrences removeString and replace act on.
enum PLXSubStringMode { ssmAll = 1, ssmOccur = 2, ssmNum = 4 };
// How getToken and split read tokens.
enum PLXTokenMode { tmSeparated = 1, tmEnclosed = 2 };
// Number systems of the number conversions.
enum PLXNumberSystem { nsHex = 1, nsBin = 2, nsOct = 4, nsDec = 8 };

// Side flags of trim and strip (a CPLXFlags); character flags select the
// blanks: 0x01 space, 0x02 tab, 0x04 form feed, 0x08 alert, 0x10 line feed,
// 0x20 backspace, 0x40 carriage return, 0x80 vertical tab.
#define PLX_TRIM_LEADING 0x01
#define PLX_TRIM_TRAILING 0x02
#define PLX_TRIM_BOTH 0x03
#define PLX_BLANK_SPACE 0x01
#define PLX_BLANK_ALL 0xFF

class CPLXWCharString : public CPLXBuffer<unsigned short> {
public:
    typedef PLXParseMode parseMode;
    typedef PLXSubStringMode subStringMode;
    typedef PLXTokenMode tokenMode;
    typedef PLXNumberSystem numberSystem;
    static constexpr PLXParseMode pmFromStart = ::pmFromStart;
    static constexpr PLXParseMode pmFromEnd = ::pmFromEnd;
    static constexpr PLXSubStringMode ssmAll = ::ssmAll;
    static constexpr PLXSubStringMode ssmOccur = ::ssmOccur;
    static constexpr PLXSubStringMode ssmNum = ::ssmNum;
    static constexpr PLXTokenMode tmSeparated = ::tmSeparated;
    static constexpr PLXTokenMode tmEnclosed = ::tmEnclosed;
    static constexpr PLXNumberSystem nsHex = ::nsHex;
    static constexpr PLXNumberSystem nsBin = ::nsBin;
    static constexpr PLXNumberSystem nsOct = ::nsOct;
    static constexpr PLXNumberSystem nsDec = ::nsDec;

    // ------------------------------------------------------------ construction
    // Every constructor throws CPLXBufferInitException when it cannot set up.
    CPLXWCharString();
    CPLXWCharString(const WCHAR* szText);  // null or "" gives an invalid string
    explicit CPLXWCharString(WCHAR wcChar);
    CPLXWCharString(const CPLXBuffer<unsigned short>& buffer);  // terminated and compacted
    CPLXWCharString(const CPLXWCharString& other);              // same element count
    // The decimal form of a signed 32-bit value (any integer type but WCHAR and bool).
    template <class I,
              typename std::enable_if<std::is_integral<I>::value && !std::is_same<I, bool>::value &&
                                          !std::is_same<I, char>::value && !std::is_same<I, wchar_t>::value &&
                                          !std::is_same<I, char16_t>::value && !std::is_same<I, char32_t>::value,
                                      int>::type = 0>
    explicit CPLXWCharString(I lValue) : CPLXBuffer<unsigned short>() {
        initNumber(static_cast<ULONG>(lValue), nsDec, 0, false);
    }
    // ulValue in nsHex, nsBin or nsOct with usWidth digits (0: as many as
    // needed; fewer digits are padded with "0", more are cut from the high
    // side) and the "0x"/"0b"/"0o" prefix; nsDec writes it as signed 32-bit.
    CPLXWCharString(ULONG ulValue, ULONG asNumberSystem, USHORT usWidth = 0, bool bPrefix = false);

    // ------------------------------------------------------------ storage
    // The text; never null (TEXT("") for an invalid string).
    const WCHAR* c_str() const;
    // Units before the first 0 unit (within the array); 0 when invalid.
    ULONG getLength() const;
    bool isValid() const { return m_pBuffer != nullptr && m_ulNumElems != 0; }
    // Element count = length + 1; a string of length 0 is released.  False when invalid.
    bool compact();

    // ------------------------------------------------------------ assignment and joining
    CPLXWCharString& operator=(const CPLXWCharString& source);
    CPLXWCharString& operator=(const WCHAR* szText);
    CPLXWCharString& operator=(WCHAR wcChar);
    CPLXWCharString& operator=(const CPLXBuffer<unsigned short>& buffer);
    CPLXWCharString operator+(const CPLXWCharString& other) const;
    CPLXWCharString& operator+=(const CPLXWCharString& other);

    // ------------------------------------------------------------ comparison (by code unit)
    bool operator==(const CPLXWCharString& other) const;
    bool operator!=(const CPLXWCharString& other) const;
    // Ordering holds only between valid strings of equal length: strings of
    // different lengths are both < and > each other, and neither <= nor >=.
    bool operator<=(const CPLXWCharString& other) const;
    bool operator>=(const CPLXWCharString& other) const;
    bool operator<(const CPLXWCharString& other) const;
    bool operator>(const CPLXWCharString& other) const;

    // ------------------------------------------------------------ search
    // Start position of occurrence ulOccurrance (from 1) of subString counted
    // in direction (pmFromStart / pmFromEnd).
    bool find(const CPLXWCharString& subString, ULONG ulOccurrance, ULONG direction, ULONG& ulPos) const;
    bool contains(const CPLXWCharString& subString) const;
    // Overlapping occurrences count: 'aaaa' holds 'aa' three times.
    ULONG countOccurrences(const CPLXWCharString& subString) const;
    bool beginsWith(const CPLXWCharString& subString) const;
    bool endsWith(const CPLXWCharString& subString) const;
    // Which occurrence, counted in direction, starts at ulPos.
    bool getOccurrenceAt(const CPLXWCharString& subString, ULONG ulPos, ULONG direction, ULONG& ulOccurrance) const;
    // The number, counted from the other end, of occurrence ulOccurrance counted in parseMode.
    bool getOppositeOccurrence(const CPLXWCharString& subString, ULONG ulOccurrance, ULONG parseMode,
                               ULONG& ulResult) const;

    // ------------------------------------------------------------ substrings
    CPLXWCharString withoutLast(ULONG ulCount) const;
    CPLXWCharString withoutFirst(ULONG ulCount) const;
    bool removeLast(ULONG ulCount);
    bool removeFirst(ULONG ulCount);
    // Removes the characters strictly between the positions, the range running
    // forward from ulStartPos and wrapping around the end of the string.
    bool deleteRange(ULONG ulStartPos, ULONG ulEndPos, bool bDeleteStart, bool bDeleteEnd);
    bool extractInside(CPLXWCharString& out, ULONG ulStartPos, ULONG ulEndPos, bool bIncludeStart,
                       bool bIncludeEnd) const;
    // The text between occurrence ulStartOccurrance of startString (from the
    // start) and occurrence ulEndOccurrance of endString (from the end).
    bool extractBetween(CPLXWCharString& out, const CPLXWCharString& startString, ULONG ulStartOccurrance,
                        const CPLXWCharString& endString, ULONG ulEndOccurrance, bool bIncludeStart,
                        bool bIncludeEnd) const;
    // pmFromStart keeps the text from the occurrence on; pmFromEnd keeps the
    // text up to the end of the occurrence; bCutDelimiter drops the occurrence.
    bool cutAt(const CPLXWCharString& subString, ULONG ulOccurrance, ULONG direction, bool bCutDelimiter);
    // pmFromStart: the text before the occurrence; pmFromEnd: the text after
    // it (counted from the end).  bIncludeDelimiter keeps the occurrence.
    bool parse(CPLXWCharString& out, const CPLXWCharString& subString, ULONG ulOccurrance, ULONG parseMode,
               bool bIncludeDelimiter) const;

    // ------------------------------------------------------------ tokens
    // Token ulOccurrance (from 1), trimmed with trim(trimSides, trimChars).
    // An empty token is an invalid string and still answers true.
    bool getToken(CPLXWCharString& out, const CPLXWCharString& delimiter, ULONG ulOccurrance,
                  ULONG tokenMode = ::tmSeparated, const CPLXFlags& trimSides = CPLXFlags(0),
                  const CPLXFlags& trimChars = CPLXFlags(0)) const;
    // All tokens into list, tagged with their 0-based index; true when any.
    bool split(CPLXDblList<CPLXWCharString>& list, const CPLXWCharString& delimiter, ULONG tokenMode = ::tmSeparated,
               const CPLXFlags& trimSides = CPLXFlags(0), const CPLXFlags& trimChars = CPLXFlags(0)) const;

    // ------------------------------------------------------------ editing
    // Inserts before ulPos (0: in front, getLength(): at the end).
    bool insert(const CPLXWCharString& string, ULONG ulPos);
    bool removeString(const CPLXWCharString& string, ULONG ulOccurrance, ULONG subStringMode);
    // An invalid newString deletes the occurrences.
    bool replace(const CPLXWCharString& oldString, const CPLXWCharString& newString, ULONG ulOccurrance,
                 ULONG subStringMode);

    // ------------------------------------------------------------ character tests
    bool isNumber(bool bAllowNegative, bool bAllowDecimal) const;
    bool isHexDigits() const;
    bool isBinaryDigits() const;
    bool isOctalDigits() const;
    bool isHexNotation() const;     // '0x1F', '1Fh'
    bool isBinaryNotation() const;  // '0b101', '101b'
    bool isOctalNotation() const;   // '0o17', '17o'

    // ------------------------------------------------------------ rewriting
    bool toLower();  // ASCII letters only
    bool reverse();
    bool removeNotationMarker();
    bool findNonBlank(const CPLXFlags& trimChars, ULONG direction, ULONG& ulPos) const;
    // Removes the selected blanks at the selected ends, and everywhere inside
    // when both ends are selected.
    bool trim(const CPLXFlags& trimSides, const CPLXFlags& trimChars);
    // Removes wcKey and the selected blanks at the selected ends only.
    bool strip(WCHAR wcKey, const CPLXFlags& trimSides, const CPLXFlags& trimChars);

    // ------------------------------------------------------------ numbers
    // Parses the string (blanks at both ends ignored) in asNumberSystem; a
    // negative nsDec value is stored as its two's complement.  ulValue is
    // unchanged on failure.
    bool toNumber(ULONG& ulValue, ULONG asNumberSystem) const;
    // The raw bytes as upper-case hex pairs separated by spaces, terminator
    // included: 'AB' gives '41 00 42 00 00 00'.
    CPLXWCharString getAsciiCodeString() const;
    // The bytes of an ASCII code string; empty when a pair is not hexadecimal.
    CPLXBuffer<unsigned char> getBufferFromAsciiCodeString() const;

private:
    void initNumber(ULONG ulValue, ULONG asNumberSystem, USHORT usWidth, bool bPrefix);
    bool formatNumber(ULONG ulValue, ULONG asNumberSystem, USHORT usWidth, bool bPrefix);
    const unsigned short* units() const { return m_pBuffer; }
    bool unitsMatch(ULONG ulPos, const CPLXWCharString& subString, ULONG ulSubLength) const;
    int compareUnits(const CPLXWCharString& other, ULONG ulLength) const;
    bool findImpl(const CPLXWCharString& subString, ULONG ulOccurrance, ULONG direction, ULONG& ulPos) const;
    bool allUnits(bool (*pTest)(unsigned short)) const;
    ULONG occurrenceCount(const CPLXWCharString& subString) const;
    bool isMarkerNotation(unsigned short usMarker, bool (*pDigit)(unsigned short)) const;
    bool removeMarker(unsigned short usMarker);
    bool removeHexMarker();
    bool parseDigits(ULONG& ulValue, ULONG asNumberSystem) const;
    void stripUnits(unsigned short usKey, ULONG ulSides, ULONG ulBlanks);
    bool assignUnits(const unsigned short* pUnits, ULONG ulLength);
    CPLXWCharString withoutCount(ULONG ulCount, bool bFromFront) const;
    bool setFromRanges(const unsigned short* pFirst, ULONG ulFirst, const unsigned short* pSecond, ULONG ulSecond);
};

// TEXT("prefix") + string.
CPLXWCharString operator+(const WCHAR* szLeft, const CPLXWCharString& right);

// Decimal text as the C library's wcstol(text, nullptr, 10) reads it into a
// 32-bit long: leading white space (space, tab to carriage return), an
// optional sign, the digits up to the first other unit or ulLength units; a
// value out of range becomes the nearest limit.  False, lValue untouched,
// when there are no digits.
bool plxDecimalToLong(const WCHAR* pText, ULONG ulLength, LONG& lValue);

// ulCount bytes as upper-case hex pairs separated by spaces ("01 0A FF"), the
// form of getAsciiCodeString; an invalid string for no bytes.  Not traced.
CPLXWCharString plxAsciiCodeString(const unsigned char* pBytes, ULONG ulCount);

#endif
