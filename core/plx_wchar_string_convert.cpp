// CPLXWCharString: character tests, case, trimming, number formatting and
// parsing, and the ASCII code string form.
#include "plx_wchar_string.h"

#include <cstring>

#include "plx_handlers.h"
#include "plx_method_trace.h"

namespace {

// The blanks of trim, strip and findNonBlank, selected by one flag bit each
// (bit 0x01 is the first entry); 0xFFFF ends the table.
const unsigned short g_blankTable[] = {0x20, 0x09, 0x0C, 0x07, 0x0A, 0x08, 0x0D, 0x0B, 0xFFFF};

bool isBlank(unsigned short usUnit, ULONG ulSelected) {
    for (ULONG i = 0; g_blankTable[i] != 0xFFFF; ++i) {
        if ((ulSelected & (1UL << i)) != 0 && usUnit == g_blankTable[i]) {
            return true;
        }
    }
    return false;
}

bool isDecDigit(unsigned short u) { return u >= '0' && u <= '9'; }
bool isBinDigit(unsigned short u) { return u == '0' || u == '1'; }
bool isOctDigit(unsigned short u) { return u >= '0' && u <= '7'; }
bool isHexDigit(unsigned short u) { return isDecDigit(u) || (u >= 'a' && u <= 'f') || (u >= 'A' && u <= 'F'); }
unsigned short lowerUnit(unsigned short u) { return (u >= 'A' && u <= 'Z') ? static_cast<unsigned short>(u + 32) : u; }

ULONG hexValue(unsigned short u) {
    if (isDecDigit(u)) {
        return u - '0';
    }
    return lowerUnit(u) - 'a' + 10;
}

const char g_hexDigits[] = "0123456789ABCDEF";

bool validDirection(ULONG direction) { return direction == pmFromStart || direction == pmFromEnd; }

}  // namespace

// ---------------------------------------------------------------- number formatting

CPLXWCharString::CPLXWCharString(ULONG ulValue, ULONG asNumberSystem, USHORT usWidth, bool bPrefix)
    : CPLXBuffer<unsigned short>() {
    initNumber(ulValue, asNumberSystem, usWidth, bPrefix);
}

void CPLXWCharString::initNumber(ULONG ulValue, ULONG asNumberSystem, USHORT usWidth, bool bPrefix) {
    bool bFormatted = false;
    try {
        bFormatted = formatNumber(ulValue, asNumberSystem, usWidth, bPrefix);
    }
    PLX_CATCH_THROW(CPLXBufferInitException(PLX_SRC, true))
    if (!bFormatted) {
        throw CPLXBufferInitException(PLX_SRC, true);
    }
}

bool CPLXWCharString::formatNumber(ULONG ulValue, ULONG asNumberSystem, USHORT usWidth, bool bPrefix) {
    if (asNumberSystem == nsDec) {
        // Signed 32-bit: 4294967295 is -1.
        LONG lValue = static_cast<LONG>(ulValue);
        ULONG ulMagnitude = lValue < 0 ? ~ulValue + 1 : ulValue;
        unsigned short digits[12];
        ULONG ulCount = 0;
        do {
            digits[ulCount++] = static_cast<unsigned short>('0' + ulMagnitude % 10);
            ulMagnitude /= 10;
        } while (ulMagnitude != 0);
        ULONG ulSign = lValue < 0 ? 1 : 0;
        if (!allocate(ulSign + ulCount + 1)) {
            return false;
        }
        if (ulSign != 0) {
            m_pBuffer[0] = '-';
        }
        for (ULONG i = 0; i < ulCount; ++i) {
            m_pBuffer[ulSign + i] = digits[ulCount - 1 - i];
        }
        return true;
    }
    ULONG ulBits = 0;
    unsigned short usMarker = 0;
    switch (asNumberSystem) {
    case nsHex:
        ulBits = 4;
        usMarker = 'x';
        break;
    case nsBin:
        ulBits = 1;
        usMarker = 'b';
        break;
    case nsOct:
        ulBits = 3;
        usMarker = 'o';
        break;
    default:
        throw CPLXBadArgException(TEXT("asNumberSystem"), TEXT("mode isn't supported, must be hex,bin,or oct"), PLX_SRC,
                                  PLX_LOG_NOW);
    }
    ULONG ulNatural = 1;
    while (ulNatural * ulBits < 32 && (ulValue >> (ulNatural * ulBits)) != 0) {
        ++ulNatural;
    }
    // A width pads with zeros or keeps only the low digits.
    ULONG ulDigits = usWidth != 0 ? usWidth : ulNatural;
    ULONG ulPrefix = bPrefix ? 2 : 0;
    if (!allocate(ulPrefix + ulDigits + 1)) {
        return false;
    }
    if (bPrefix) {
        m_pBuffer[0] = '0';
        m_pBuffer[1] = usMarker;
    }
    const ULONG ulMask = (1UL << ulBits) - 1;
    for (ULONG i = 0; i < ulDigits; ++i) {
        ULONG ulShift = i * ulBits;
        ULONG ulDigit = ulShift < 32 ? (ulValue >> ulShift) & ulMask : 0;
        m_pBuffer[ulPrefix + ulDigits - 1 - i] = static_cast<unsigned short>(g_hexDigits[ulDigit]);
    }
    return true;
}

// ---------------------------------------------------------------- character tests

bool CPLXWCharString::isNumber(bool bAllowNegative, bool bAllowDecimal) const {
    try {
        ULONG ulLength = getLength();
        if (!isValid() || ulLength == 0) {
            return false;
        }
        bool bDecimalSeen = false;
        for (ULONG i = 0; i < ulLength; ++i) {
            unsigned short u = m_pBuffer[i];
            if (isDecDigit(u)) {
                continue;
            }
            if (u == '-' && i == 0 && bAllowNegative) {
                continue;
            }
            if (u == '.' && bAllowDecimal && !bDecimalSeen && i != 0 && i != ulLength - 1) {
                bDecimalSeen = true;
                continue;
            }
            return false;
        }
        return true;
    }
    PLX_CATCH_ALL_RETURN(false)
}

bool CPLXWCharString::allUnits(bool (*pTest)(unsigned short)) const {
    if (!isValid()) {
        return false;
    }
    ULONG ulLength = getLength();
    for (ULONG i = 0; i < ulLength; ++i) {
        if (!pTest(m_pBuffer[i])) {
            return false;
        }
    }
    return true;
}

bool CPLXWCharString::isHexDigits() const { return allUnits(isHexDigit); }
bool CPLXWCharString::isBinaryDigits() const { return allUnits(isBinDigit); }
bool CPLXWCharString::isOctalDigits() const { return allUnits(isOctDigit); }

// Binary and octal notation: digits of the system with the marker exactly
// once, either after a leading "0" ("0b101") or at the end ("101b").
bool CPLXWCharString::isMarkerNotation(unsigned short usMarker, bool (*pDigit)(unsigned short)) const {
    if (!isValid()) {
        return false;
    }
    ULONG ulLength = getLength();
    ULONG ulMarkers = 0;
    ULONG ulMarkerPos = 0;
    ULONG ulDigits = 0;
    for (ULONG i = 0; i < ulLength; ++i) {
        unsigned short u = lowerUnit(m_pBuffer[i]);
        if (u == usMarker) {
            ++ulMarkers;
            ulMarkerPos = i;
        } else if (pDigit(u)) {
            ++ulDigits;
        } else {
            return false;
        }
    }
    if (ulDigits == 0 || ulMarkers != 1) {
        return false;
    }
    return (ulMarkerPos == 1 && m_pBuffer[0] == '0') || ulMarkerPos == ulLength - 1;
}

bool CPLXWCharString::isBinaryNotation() const {
    try {
        return isMarkerNotation('b', isBinDigit);
    }
    PLX_CATCH_ALL_RETURN(false)
}

bool CPLXWCharString::isOctalNotation() const {
    try {
        return isMarkerNotation('o', isOctDigit);
    }
    PLX_CATCH_ALL_RETURN(false)
}

// Hex digits with either "0x" in front or "h" at the end, case ignored.
bool CPLXWCharString::isHexNotation() const {
    try {
        if (!isValid()) {
            return false;
        }
        ULONG ulLength = getLength();
        ULONG ulX = 0;
        ULONG ulH = 0;
        ULONG ulFirstX = 0;
        ULONG ulLastH = 0;
        ULONG ulDigits = 0;
        for (ULONG i = 0; i < ulLength; ++i) {
            unsigned short u = lowerUnit(m_pBuffer[i]);
            if (u == 'x') {
                if (ulX++ == 0) {
                    ulFirstX = i;
                }
            } else if (u == 'h') {
                ++ulH;
                ulLastH = i;
            } else if (isHexDigit(u)) {
                ++ulDigits;
            } else {
                return false;
            }
        }
        if (ulDigits == 0 || ulX > 1 || ulH > 1 || (ulX == 1 && ulH == 1)) {
            return false;
        }
        if (ulX == 1 && ulFirstX > 0 && m_pBuffer[ulFirstX - 1] == '0') {
            return ulFirstX == 1;
        }
        return ulH == 1 && ulLastH == ulLength - 1;
    }
    PLX_CATCH_ALL_RETURN(false)
}

// ---------------------------------------------------------------- rewriting

bool CPLXWCharString::toLower() {
    try {
        if (!isValid()) {
            return false;
        }
        ULONG ulLength = getLength();
        for (ULONG i = 0; i < ulLength; ++i) {
            m_pBuffer[i] = lowerUnit(m_pBuffer[i]);
        }
        return true;
    }
    PLX_CATCH_ALL_RETURN(false)
}

bool CPLXWCharString::reverse() {
    try {
        if (!isValid()) {
            return false;
        }
        ULONG ulLength = getLength();
        for (ULONG i = 0; i + 1 < ulLength - i; ++i) {
            unsigned short u = m_pBuffer[i];
            m_pBuffer[i] = m_pBuffer[ulLength - 1 - i];
            m_pBuffer[ulLength - 1 - i] = u;
        }
        return true;
    }
    PLX_CATCH_ALL_RETURN(false)
}

// Prefix marker at index 1 loses the first two characters, a suffix the last.
bool CPLXWCharString::removeMarker(unsigned short usMarker) {
    ULONG ulLength = getLength();
    for (ULONG i = 0; i < ulLength; ++i) {
        if (lowerUnit(m_pBuffer[i]) == usMarker) {
            return i == 1 ? removeFirst(2) : removeLast(1);
        }
    }
    return false;
}

bool CPLXWCharString::removeHexMarker() {
    ULONG ulLength = getLength();
    for (ULONG i = 0; i + 1 < ulLength; ++i) {
        if (m_pBuffer[i] == '0' && lowerUnit(m_pBuffer[i + 1]) == 'x') {
            return removeFirst(2);
        }
    }
    return removeLast(1);
}

bool CPLXWCharString::removeNotationMarker() {
    try {
        if (!isValid()) {
            return false;
        }
        if (isBinaryNotation()) {
            return removeMarker('b');
        }
        if (isOctalNotation()) {
            return removeMarker('o');
        }
        if (isHexNotation()) {
            return removeHexMarker();
        }
        return false;
    }
    PLX_CATCH_ALL_RETURN(false)
}

bool CPLXWCharString::findNonBlank(const CPLXFlags& trimChars, ULONG direction, ULONG& ulPos) const {
    try {
        if (!isValid() || !validDirection(direction)) {
            return false;
        }
        ULONG ulSelected = trimChars.getFlags();
        ULONG ulLength = getLength();
        for (ULONG k = 0; k < ulLength; ++k) {
            ULONG i = direction == pmFromStart ? k : ulLength - 1 - k;
            if (!isBlank(m_pBuffer[i], ulSelected)) {
                ulPos = i;
                return true;
            }
        }
        return false;
    }
    PLX_CATCH_ALL_RETURN(false)
}

bool CPLXWCharString::trim(const CPLXFlags& trimSides, const CPLXFlags& trimChars) {
    try {
        ULONG ulSides = trimSides.getFlags();
        ULONG ulSelected = trimChars.getFlags();
        if (!isValid() || ulSides == 0 || ulSelected == 0) {
            return true;
        }
        bool bLeading = (ulSides & PLX_TRIM_LEADING) != 0;
        bool bTrailing = (ulSides & PLX_TRIM_TRAILING) != 0;
        ULONG ulFirst = 0;
        ULONG ulLast = 0;
        if (!findNonBlank(trimChars, pmFromStart, ulFirst) || !findNonBlank(trimChars, pmFromEnd, ulLast)) {
            // Blanks only: the first character is the middle, the others are
            // the ends.
            if (bLeading && bTrailing) {
                return release();
            }
            if (bLeading || bTrailing) {
                return assignUnits(m_pBuffer, getLength() == 0 ? 0 : 1);
            }
            return true;
        }
        ULONG ulLength = getLength();
        CPLXBuffer<unsigned short> result(ulLength + 1);
        unsigned short* pOut = result.getBuffer();
        ULONG ulOut = 0;
        if (!bLeading) {
            for (ULONG i = 0; i < ulFirst; ++i) {
                pOut[ulOut++] = m_pBuffer[i];
            }
        }
        for (ULONG i = ulFirst; i <= ulLast; ++i) {
            if (!(bLeading && bTrailing && isBlank(m_pBuffer[i], ulSelected))) {
                pOut[ulOut++] = m_pBuffer[i];
            }
        }
        if (!bTrailing) {
            for (ULONG i = ulLast + 1; i < ulLength; ++i) {
                pOut[ulOut++] = m_pBuffer[i];
            }
        }
        assignUnits(pOut, ulOut);
        return true;
    }
    PLX_CATCH_ALL_RETURN(false)
}

void CPLXWCharString::stripUnits(unsigned short usKey, ULONG ulSides, ULONG ulBlanks) {
    if ((ulSides & PLX_TRIM_TRAILING) != 0) {
        // Ends the string early; the element count stays.
        for (ULONG i = getLength(); i > 0; --i) {
            unsigned short u = m_pBuffer[i - 1];
            if (u != usKey && !isBlank(u, ulBlanks)) {
                break;
            }
            m_pBuffer[i - 1] = 0;
        }
    }
    if ((ulSides & PLX_TRIM_LEADING) != 0) {
        ULONG ulLength = getLength();
        ULONG ulCount = 0;
        while (ulCount < ulLength && (m_pBuffer[ulCount] == usKey || isBlank(m_pBuffer[ulCount], ulBlanks))) {
            ++ulCount;
        }
        if (ulCount != 0) {
            removeFirst(ulCount);
        }
    }
}

bool CPLXWCharString::strip(WCHAR wcKey, const CPLXFlags& trimSides, const CPLXFlags& trimChars) {
    try {
        if (!isValid()) {
            return false;
        }
        stripUnits(static_cast<unsigned short>(wcKey), trimSides.getFlags(), trimChars.getFlags());
        return true;
    }
    PLX_CATCH_ALL_RETURN(false)
}

// ---------------------------------------------------------------- number parsing

bool plxDecimalToLong(const WCHAR* pText, ULONG ulLength, LONG& lValue) {
    ULONG i = 0;
    while (i < ulLength && (pText[i] == ' ' || (pText[i] >= 0x09 && pText[i] <= 0x0D))) {
        ++i;
    }
    bool bNegative = false;
    if (i < ulLength && (pText[i] == '-' || pText[i] == '+')) {
        bNegative = pText[i] == '-';
        ++i;
    }
    const unsigned long long ullLimit = 2147483648ULL;  // magnitude of the lowest value
    unsigned long long ullMagnitude = 0;
    ULONG ulDigits = 0;
    for (; i < ulLength && isDecDigit(pText[i]); ++i, ++ulDigits) {
        ullMagnitude = ullMagnitude * 10 + (pText[i] - '0');
        if (ullMagnitude > ullLimit) {
            ullMagnitude = ullLimit;
        }
    }
    if (ulDigits == 0) {
        return false;
    }
    if (bNegative) {
        lValue = ullMagnitude >= ullLimit ? static_cast<LONG>(-2147483647 - 1) : -static_cast<LONG>(ullMagnitude);
    } else {
        lValue = ullMagnitude >= ullLimit ? static_cast<LONG>(2147483647) : static_cast<LONG>(ullMagnitude);
    }
    return true;
}

bool CPLXWCharString::toNumber(ULONG& ulValue, ULONG asNumberSystem) const {
    try {
        if (!isValid()) {
            return false;
        }
        CPLXWCharString text(*this);
        text.stripUnits(' ', PLX_TRIM_BOTH, PLX_BLANK_ALL);
        ULONG ulParsed = 0;
        if (!text.parseDigits(ulParsed, asNumberSystem)) {
            return false;
        }
        ulValue = ulParsed;
        return true;
    }
    PLX_CATCH_ALL_RETURN(false)
}

// A system accepts its own digits or its own notation.  The marker step then
// removes the first notation marker that the text carries, tested in the
// order binary, octal, hexadecimal, whatever system is parsed: a hexadecimal
// parse of "101b" reads the binary notation's digits 101.
bool CPLXWCharString::parseDigits(ULONG& ulValue, ULONG asNumberSystem) const {
    if (asNumberSystem == nsDec) {
        LONG lValue = 0;
        if (!isNumber(true, false) || !plxDecimalToLong(c_str(), getLength(), lValue)) {
            return false;
        }
        ulValue = static_cast<ULONG>(lValue);
        return true;
    }
    bool (*pDigit)(unsigned short) = nullptr;
    ULONG ulLimit = 0;
    ULONG ulBits = 0;
    const WCHAR* szParameter = TEXT("this string");
    const WCHAR* szMessage = nullptr;
    CPLXWCharString digits(*this);
    switch (asNumberSystem) {
    case nsHex:
        pDigit = isHexDigit;
        ulLimit = 8;
        ulBits = 4;
        szMessage = TEXT("too many hex digits in string - will overflow unsigned long value");
        if (!(getLength() != 0 && isHexDigits()) && !isHexNotation()) {
            return false;
        }
        break;
    case nsOct:
        pDigit = isOctDigit;
        ulLimit = 12;
        ulBits = 3;
        szMessage = TEXT("too many octal digits in string - will overflow unsigned long value");
        if (!(getLength() != 0 && isOctalDigits()) && !isOctalNotation()) {
            return false;
        }
        break;
    case nsBin:
        pDigit = isBinDigit;
        ulLimit = 32;
        ulBits = 1;
        szParameter = TEXT("this");
        szMessage = TEXT("too many binary digits in string - will overflow unsigned long value");
        if (!(getLength() != 0 && isBinaryDigits()) && !isBinaryNotation()) {
            return false;
        }
        break;
    default: return false;
    }
    digits.removeNotationMarker();
    ULONG ulLength = digits.getLength();
    if (ulLength == 0 || !digits.allUnits(pDigit)) {
        return false;
    }
    if (ulLength > ulLimit) {
        throw CPLXBadArgException(szParameter, szMessage, PLX_SRC, PLX_LOG_NOW);
    }
    // Octal keeps the value modulo 2^32: twelve digits can hold more.
    ULONG ulResult = 0;
    for (ULONG i = 0; i < ulLength; ++i) {
        ulResult = (ulResult << ulBits) | hexValue(digits.m_pBuffer[i]);
    }
    ulValue = ulResult;
    return true;
}

// ---------------------------------------------------------------- ASCII code strings

CPLXWCharString plxAsciiCodeString(const unsigned char* pBytes, ULONG ulCount) {
    if (ulCount == 0) {
        return CPLXWCharString();
    }
    if (ulCount > 0x55555554UL) {
        throw CPLXMemAllocException(TEXT("result"), PLX_SRC, PLX_LOG_NOW);
    }
    CPLXBuffer<unsigned short> text(ulCount * 3);
    unsigned short* pOut = text.getBuffer();
    for (ULONG b = 0; b < ulCount; ++b) {
        if (b != 0) {
            *pOut++ = ' ';
        }
        *pOut++ = static_cast<unsigned short>(g_hexDigits[pBytes[b] >> 4]);
        *pOut++ = static_cast<unsigned short>(g_hexDigits[pBytes[b] & 0x0F]);
    }
    return CPLXWCharString(text);
}

CPLXWCharString CPLXWCharString::getAsciiCodeString() const {
    PLX_TRACE("CPLXWCharString", "getAsciiCodeString");
    try {
        CPLXWCharString result;
        if (!isValid()) {
            plxTrace.success(false);
            return result;
        }
        // Every byte of every element, low byte first.
        if (m_ulNumElems > 0x7FFFFFFFUL) {
            throw CPLXMemAllocException(TEXT("result"), PLX_SRC, PLX_LOG_NOW);
        }
        CPLXBuffer<unsigned char> bytes(m_ulNumElems * 2);
        for (ULONG i = 0; i < m_ulNumElems; ++i) {
            bytes[2 * i] = static_cast<unsigned char>(m_pBuffer[i] & 0xFF);
            bytes[2 * i + 1] = static_cast<unsigned char>(m_pBuffer[i] >> 8);
        }
        result = plxAsciiCodeString(bytes.getBuffer(), bytes.getNumElems());
        plxTrace.success(result.isValid());
        return result;
    }
    PLX_CATCH_ALL_RETURN_LASTERROR(CPLXWCharString())
}

CPLXBuffer<unsigned char> CPLXWCharString::getBufferFromAsciiCodeString() const {
    PLX_TRACE("CPLXWCharString", "getBufferFromAsciiCodeString");
    CPLXBuffer<unsigned char> result;
    try {
        // Pairs start every third character; the character after a pair
        // is its separator.
        ULONG ulLength = getLength();
        ULONG ulPairs = ulLength / 3 + ((ulLength % 3) == 2 ? 1 : 0);
        if (ulPairs != 0 && !result.allocate(ulPairs)) {
            plxTrace.success(false);
            return CPLXBuffer<unsigned char>();
        }
        for (ULONG k = 0; k < ulPairs; ++k) {
            // Each pair is two hexadecimal digits as they stand: a number parse
            // would take "1B" or "0B" for binary notation and lose the byte.
            // A pair that is no hexadecimal byte spoils the whole text.
            const unsigned short* pPair = m_pBuffer + 3 * k;
            if (!isHexDigit(pPair[0]) || !isHexDigit(pPair[1])) {
                plxTrace.success(false);
                return CPLXBuffer<unsigned char>();
            }
            result[k] = static_cast<unsigned char>((hexValue(pPair[0]) << 4) | hexValue(pPair[1]));
        }
        if (ulLength % 3 == 1) {
            // A lone last character is no pair: its extraction fails and reports.
            CPLXWCharString last(static_cast<WCHAR>(m_pBuffer[ulLength - 1]));
            CPLXWCharString ignored;
            last.extractInside(ignored, 0, 1, true, true);
        }
        plxTrace.success(true);
        return result;
    }
    PLX_CATCH_ALL_RETURN_LASTERROR(CPLXBuffer<unsigned char>())
}
