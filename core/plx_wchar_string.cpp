// CPLXWCharString: storage, comparison, search, substrings, tokens and editing.
#include "plx_wchar_string.h"

#include <cstring>

#include "plx_handlers.h"
#include "plx_method_trace.h"

namespace {

ULONG textLength(const WCHAR* szText) {
    ULONG ulLength = 0;
    while (szText[ulLength] != 0) {
        ++ulLength;
    }
    return ulLength;
}

bool validDirection(ULONG direction) { return direction == pmFromStart || direction == pmFromEnd; }

// Which of n occurrences a removal or replacement in subStringMode works on:
// ulPasses edits, each of occurrence number ulNumber.  A bad mode or number
// throws; szOccurBeyond explains an ssmOccur number beyond n.
void selectOccurrences(ULONG n, ULONG ulOccurrance, ULONG subStringMode, LPCWSTR szOccurBeyond, ULONG& ulPasses,
                       ULONG& ulNumber) {
    ulPasses = 0;
    ulNumber = 1;
    switch (subStringMode) {
    case ssmAll: ulPasses = n; break;
    case ssmOccur:
        if (ulOccurrance == 0) {
            throw CPLXBadArgException(TEXT("ulOccurrance"),
                                      TEXT("ssmOccur mode requires ulOccurrance to be greater than 0"), PLX_SRC,
                                      PLX_LOG_NOW);
        }
        if (ulOccurrance > n) {
            throw CPLXBadArgException(TEXT("ulOccurrance"), szOccurBeyond, PLX_SRC, PLX_LOG_NOW);
        }
        ulPasses = 1;
        ulNumber = ulOccurrance;
        break;
    case ssmNum:
        if (ulOccurrance == 0) {
            throw CPLXBadArgException(TEXT("ulOccurrance"),
                                      TEXT("ssmNum mode requires ulOccurrance to be greater than 0"), PLX_SRC,
                                      PLX_LOG_NOW);
        }
        if (ulOccurrance > n) {
            throw CPLXBadArgException(TEXT("ulOccurrance"),
                                      TEXT("there aren't enough strings to accommodate ulOccurrance"), PLX_SRC,
                                      PLX_LOG_NOW);
        }
        ulPasses = ulOccurrance;
        break;
    default: throw CPLXBadArgException(TEXT("subStringMode"), TEXT("invalid mode"), PLX_SRC, PLX_LOG_NOW);
    }
}

}  // namespace

// ---------------------------------------------------------------- construction

CPLXWCharString::CPLXWCharString() : CPLXBuffer<unsigned short>() {}

CPLXWCharString::CPLXWCharString(const WCHAR* szText) : CPLXBuffer<unsigned short>() {
    try {
        operator=(szText);
    }
    PLX_CATCH_THROW(CPLXBufferInitException(PLX_SRC, true))
}

CPLXWCharString::CPLXWCharString(WCHAR wcChar) : CPLXBuffer<unsigned short>() {
    try {
        operator=(wcChar);
    }
    PLX_CATCH_THROW(CPLXBufferInitException(PLX_SRC, true))
}

CPLXWCharString::CPLXWCharString(const CPLXBuffer<unsigned short>& buffer) : CPLXBuffer<unsigned short>() {
    try {
        operator=(buffer);
    }
    PLX_CATCH_THROW(CPLXBufferInitException(PLX_SRC, true))
}

CPLXWCharString::CPLXWCharString(const CPLXWCharString& other) : CPLXBuffer<unsigned short>(other) {}

// ---------------------------------------------------------------- storage

const WCHAR* CPLXWCharString::c_str() const { return isValid() ? reinterpret_cast<const WCHAR*>(m_pBuffer) : TEXT(""); }

ULONG CPLXWCharString::getLength() const {
    ULONG ulLength = 0;
    while (ulLength < m_ulNumElems && m_pBuffer[ulLength] != 0) {
        ++ulLength;
    }
    return ulLength;
}

bool CPLXWCharString::compact() {
    try {
        if (!isValid()) {
            return false;
        }
        ULONG ulLength = getLength();
        if (ulLength == 0) {
            return release();
        }
        if (ulLength + 1 == m_ulNumElems) {
            return true;
        }
        return resize(ulLength + 1);
    }
    PLX_CATCH_ALL_RETURN(false)
}

// The string becomes ulLength units from pUnits plus a terminator; pUnits may
// point into this string's own array.
bool CPLXWCharString::assignUnits(const unsigned short* pUnits, ULONG ulLength) {
    if (ulLength == 0) {
        return release();
    }
    if (m_pBuffer != nullptr && pUnits >= m_pBuffer && pUnits < m_pBuffer + m_ulNumElems) {
        CPLXBuffer<unsigned short> saved(pUnits, ulLength);
        return assignUnits(saved.getBuffer(), ulLength);
    }
    if (!allocate(ulLength + 1)) {
        return false;
    }
    std::memcpy(m_pBuffer, pUnits, static_cast<size_t>(ulLength) * sizeof(unsigned short));
    return true;
}

// The string becomes the two runs joined; both may lie in this string.
bool CPLXWCharString::setFromRanges(const unsigned short* pFirst, ULONG ulFirst, const unsigned short* pSecond,
                                    ULONG ulSecond) {
    if (ulFirst + ulSecond == 0) {
        return release();
    }
    CPLXBuffer<unsigned short> joined(ulFirst + ulSecond + 1);
    if (ulFirst != 0) {
        std::memcpy(joined.getBuffer(), pFirst, static_cast<size_t>(ulFirst) * sizeof(unsigned short));
    }
    if (ulSecond != 0) {
        std::memcpy(joined.getBuffer() + ulFirst, pSecond, static_cast<size_t>(ulSecond) * sizeof(unsigned short));
    }
    CPLXBuffer<unsigned short>::operator=(joined);
    return m_ulNumElems == joined.getNumElems();
}

// ---------------------------------------------------------------- assignment and joining

CPLXWCharString& CPLXWCharString::operator=(const CPLXWCharString& source) {
    if (&source == this) {
        return *this;
    }
    try {
        if (!source.isValid()) {
            release();
        } else {
            CPLXBuffer<unsigned short>::operator=(source);
        }
        return *this;
    }
    PLX_CATCH_ALL_RETURN(*this)
}

CPLXWCharString& CPLXWCharString::operator=(const WCHAR* szText) {
    try {
        if (szText == nullptr) {
            release();
            return *this;
        }
        // The text is copied unit by unit into the array, never read through it.
        ULONG ulLength = textLength(szText);
        if (ulLength == 0) {
            release();
            return *this;
        }
        CPLXBuffer<unsigned short> text(ulLength + 1);
        std::memcpy(text.getBuffer(), szText, static_cast<size_t>(ulLength) * sizeof(WCHAR));
        CPLXBuffer<unsigned short>::operator=(text);
        return *this;
    }
    PLX_CATCH_ALL_RETURN(*this)
}

CPLXWCharString& CPLXWCharString::operator=(WCHAR wcChar) {
    try {
        unsigned short usUnit = static_cast<unsigned short>(wcChar);
        assignUnits(&usUnit, usUnit != 0 ? 1 : 0);
        return *this;
    }
    PLX_CATCH_ALL_RETURN(*this)
}

// Raw units become a proper string: a terminator is appended and anything
// after the first 0 unit dropped.
CPLXWCharString& CPLXWCharString::operator=(const CPLXBuffer<unsigned short>& buffer) {
    try {
        if (buffer.getBuffer() == nullptr || buffer.getNumElems() == 0) {
            release();
            return *this;
        }
        CPLXBuffer<unsigned short>::operator=(buffer);
        CPLXBuffer<unsigned short> terminator(1);
        if (append(terminator)) {
            compact();
        }
        return *this;
    }
    PLX_CATCH_ALL_RETURN(*this)
}

CPLXWCharString CPLXWCharString::operator+(const CPLXWCharString& other) const {
    CPLXWCharString result;
    try {
        if (!isValid()) {
            result = other;
            return result;
        }
        result = *this;
        if (other.getLength() != 0) {
            result.appendAt(other, getLength());
        }
        return result;
    }
    PLX_CATCH_ALL_RETURN(result)
}

CPLXWCharString& CPLXWCharString::operator+=(const CPLXWCharString& other) {
    try {
        if (!isValid()) {
            operator=(other);
        } else if (other.getLength() != 0) {
            appendAt(other, getLength());
        }
        return *this;
    }
    PLX_CATCH_ALL_RETURN(*this)
}

CPLXWCharString operator+(const WCHAR* szLeft, const CPLXWCharString& right) { return CPLXWCharString(szLeft) + right; }

// ---------------------------------------------------------------- comparison

int CPLXWCharString::compareUnits(const CPLXWCharString& other, ULONG ulLength) const {
    for (ULONG i = 0; i < ulLength; ++i) {
        if (m_pBuffer[i] != other.m_pBuffer[i]) {
            return m_pBuffer[i] < other.m_pBuffer[i] ? -1 : 1;
        }
    }
    return 0;
}

bool CPLXWCharString::operator==(const CPLXWCharString& other) const {
    if (!isValid() || !other.isValid()) {
        return isValid() == other.isValid();
    }
    ULONG ulLength = getLength();
    return ulLength == other.getLength() && compareUnits(other, ulLength) == 0;
}

bool CPLXWCharString::operator!=(const CPLXWCharString& other) const { return !operator==(other); }

bool CPLXWCharString::operator<=(const CPLXWCharString& other) const {
    if (!isValid() || !other.isValid()) {
        return false;
    }
    ULONG ulLength = getLength();
    return ulLength == other.getLength() && compareUnits(other, ulLength) <= 0;
}

bool CPLXWCharString::operator>=(const CPLXWCharString& other) const {
    if (!isValid() || !other.isValid()) {
        return false;
    }
    ULONG ulLength = getLength();
    return ulLength == other.getLength() && compareUnits(other, ulLength) >= 0;
}

bool CPLXWCharString::operator<(const CPLXWCharString& other) const { return !operator>=(other); }

bool CPLXWCharString::operator>(const CPLXWCharString& other) const { return !operator<=(other); }

// ---------------------------------------------------------------- search

bool CPLXWCharString::unitsMatch(ULONG ulPos, const CPLXWCharString& subString, ULONG ulSubLength) const {
    for (ULONG i = 0; i < ulSubLength; ++i) {
        if (m_pBuffer[ulPos + i] != subString.m_pBuffer[i]) {
            return false;
        }
    }
    return true;
}

bool CPLXWCharString::findImpl(const CPLXWCharString& subString, ULONG ulOccurrance, ULONG direction,
                               ULONG& ulPos) const {
    if (!isValid() || !subString.isValid()) {
        return false;
    }
    ULONG n = getLength();
    ULONG m = subString.getLength();
    // An empty pattern is nothing to look for.
    if (m == 0 || m > n) {
        return false;
    }
    if (ulOccurrance > n) {
        throw CPLXBadArgException(TEXT("ulOccurrance"),
                                  TEXT("value is impossible since it is larger than the length of this string"),
                                  PLX_SRC, PLX_LOG_NOW);
    }
    if (ulOccurrance == 0) {
        throw CPLXBadArgException(TEXT("ulOccurrance"), TEXT("value must be greater than 0"), PLX_SRC, PLX_LOG_NOW);
    }
    ULONG ulFound = 0;
    if (direction == pmFromStart) {
        for (ULONG j = 0; j + m <= n; ++j) {
            if (unitsMatch(j, subString, m) && ++ulFound == ulOccurrance) {
                ulPos = j;
                return true;
            }
        }
    } else if (direction == pmFromEnd) {
        for (ULONG i = n; i >= m; --i) {
            // Compare the m units that end at unit i - 1, backwards.
            ULONG k = m;
            while (k > 0 && m_pBuffer[i - m + k - 1] == subString.m_pBuffer[k - 1]) {
                --k;
            }
            if (k == 0 && ++ulFound == ulOccurrance) {
                ulPos = i - m;
                return true;
            }
        }
    }
    return false;
}

bool CPLXWCharString::find(const CPLXWCharString& subString, ULONG ulOccurrance, ULONG direction, ULONG& ulPos) const {
    try {
        return findImpl(subString, ulOccurrance, direction, ulPos);
    } catch (CPLXBadArgException& e) {
        plxReportCaught(e);
        return false;
    }
    PLX_CATCH_ALL_RETURN(false)
}

bool CPLXWCharString::contains(const CPLXWCharString& subString) const {
    ULONG ulPos = 0;
    return find(subString, 1, pmFromStart, ulPos);
}

// One scan counts what find would find for occurrence numbers 1, 2, ...
ULONG CPLXWCharString::occurrenceCount(const CPLXWCharString& subString) const {
    if (!isValid() || !subString.isValid()) {
        return 0;
    }
    ULONG n = getLength();
    ULONG m = subString.getLength();
    if (m == 0 || m > n) {
        return 0;
    }
    ULONG ulCount = 0;
    for (ULONG j = 0; j + m <= n; ++j) {
        if (unitsMatch(j, subString, m)) {
            ++ulCount;
        }
    }
    return ulCount;
}

ULONG CPLXWCharString::countOccurrences(const CPLXWCharString& subString) const {
    try {
        return occurrenceCount(subString);
    }
    PLX_CATCH_ALL_RETURN(0)
}

bool CPLXWCharString::beginsWith(const CPLXWCharString& subString) const {
    PLX_TRACE("CPLXWCharString", "beginsWith");
    try {
        ULONG ulPos = 0;
        return plxTrace.logical(find(subString, 1, pmFromStart, ulPos) && ulPos == 0);
    }
    PLX_CATCH_ALL_RETURN_LASTERROR(plxTrace.logical(false))
}

bool CPLXWCharString::endsWith(const CPLXWCharString& subString) const {
    PLX_TRACE("CPLXWCharString", "endsWith");
    try {
        ULONG ulPos = 0;
        bool bFound = find(subString, 1, pmFromEnd, ulPos);
        return plxTrace.logical(bFound && ulPos == getLength() - subString.getLength());
    }
    PLX_CATCH_ALL_RETURN_LASTERROR(plxTrace.logical(false))
}

bool CPLXWCharString::getOccurrenceAt(const CPLXWCharString& subString, ULONG ulPos, ULONG direction,
                                      ULONG& ulOccurrance) const {
    try {
        if (!isValid() || !subString.isValid() || !validDirection(direction)) {
            return false;
        }
        ULONG n = getLength();
        ULONG m = subString.getLength();
        if (m == 0 || m > n || ulPos > n - m || !unitsMatch(ulPos, subString, m)) {
            return false;
        }
        // Its number is how many occurrences start at or before it in the
        // direction of counting.
        ULONG ulNumber = 0;
        for (ULONG j = 0; j + m <= n; ++j) {
            bool bCounts = direction == pmFromStart ? j <= ulPos : j >= ulPos;
            if (bCounts && unitsMatch(j, subString, m)) {
                ++ulNumber;
            }
        }
        ulOccurrance = ulNumber;
        return true;
    }
    PLX_CATCH_ALL_RETURN(false)
}

bool CPLXWCharString::getOppositeOccurrence(const CPLXWCharString& subString, ULONG ulOccurrance, ULONG parseMode,
                                            ULONG& ulResult) const {
    try {
        if (!isValid()) {
            return false;
        }
        if (!subString.isValid() || subString.getLength() == 0) {
            throw CPLXBadArgException(TEXT("subString"), TEXT("must contain a string"), PLX_SRC, PLX_LOG_NOW);
        }
        if (!validDirection(parseMode)) {
            throw CPLXBadArgException(TEXT("parseMode"), TEXT("invalid parse mode"), PLX_SRC, PLX_LOG_NOW);
        }
        ULONG ulPos = 0;
        if (!find(subString, ulOccurrance, parseMode, ulPos)) {
            return false;
        }
        ulResult = occurrenceCount(subString) - ulOccurrance + 1;
        return true;
    }
    PLX_CATCH_ALL_RETURN(false)
}

// ---------------------------------------------------------------- cutting by count

// The string without ulCount characters, taken from the front or the back:
// an unchanged copy for 0, an invalid string when nothing would remain.
CPLXWCharString CPLXWCharString::withoutCount(ULONG ulCount, bool bFromFront) const {
    CPLXWCharString result;
    try {
        ULONG ulLength = getLength();
        if (ulCount == 0) {
            result = *this;
        } else if (ulCount < ulLength) {
            result.assignUnits(m_pBuffer + (bFromFront ? ulCount : 0), ulLength - ulCount);
        }
        return result;
    }
    PLX_CATCH_ALL_RETURN(result)
}

CPLXWCharString CPLXWCharString::withoutLast(ULONG ulCount) const { return withoutCount(ulCount, false); }

CPLXWCharString CPLXWCharString::withoutFirst(ULONG ulCount) const { return withoutCount(ulCount, true); }

bool CPLXWCharString::removeLast(ULONG ulCount) {
    try {
        operator=(withoutLast(ulCount));
        return true;
    }
    PLX_CATCH_ALL_RETURN(false)
}

bool CPLXWCharString::removeFirst(ULONG ulCount) {
    try {
        operator=(withoutFirst(ulCount));
        return true;
    }
    PLX_CATCH_ALL_RETURN(false)
}

// ---------------------------------------------------------------- ranges

bool CPLXWCharString::deleteRange(ULONG ulStartPos, ULONG ulEndPos, bool bDeleteStart, bool bDeleteEnd) {
    try {
        if (!isValid()) {
            return false;
        }
        ULONG ulLength = getLength();
        if (ulStartPos >= ulLength) {
            throw CPLXBadArgException(TEXT("ulStartPos"), TEXT("start position is past the end of the string"), PLX_SRC,
                                      PLX_LOG_NOW);
        }
        if (ulEndPos >= ulLength) {
            throw CPLXBadArgException(TEXT("ulEndPos"), TEXT("end position is past the end of the string"), PLX_SRC,
                                      PLX_LOG_NOW);
        }
        if (ulStartPos == ulEndPos) {
            throw CPLXBadArgException(TEXT("ulEndPos & ulStartPos"), TEXT("start and end positions can't be equal"),
                                      PLX_SRC, PLX_LOG_NOW);
        }
        ULONG ulStartKeep = bDeleteStart ? ulStartPos : ulStartPos + 1;  // end of the kept run at the start
        ULONG ulEndKeep = bDeleteEnd ? ulEndPos + 1 : ulEndPos;          // first kept unit at the end
        if (ulStartPos < ulEndPos) {
            return setFromRanges(m_pBuffer, ulStartKeep, m_pBuffer + ulEndKeep, ulLength - ulEndKeep);
        }
        // The range wraps around the end: only the units from the end
        // position to the start position remain.
        ULONG ulKept = ulStartKeep > ulEndKeep ? ulStartKeep - ulEndKeep : 0;
        return setFromRanges(m_pBuffer + ulEndKeep, ulKept, nullptr, 0);
    }
    PLX_CATCH_ALL_RETURN(false)
}

bool CPLXWCharString::extractInside(CPLXWCharString& out, ULONG ulStartPos, ULONG ulEndPos, bool bIncludeStart,
                                    bool bIncludeEnd) const {
    try {
        if (ulEndPos < ulStartPos) {
            throw CPLXBadArgException(TEXT("ulStartPos"),
                                      TEXT("start position can't be greater than end position - use extractOutside( "
                                           ") or deleteRange( ) instead"),
                                      PLX_SRC, PLX_LOG_NOW);
        }
        if (ulStartPos == ulEndPos) {
            // The terminator and any units after it are no characters.
            if (ulStartPos >= getLength()) {
                throw CPLXIndexOutOfBoundsException(PLX_SRC, PLX_LOG_NOW);
            }
            if (bIncludeStart || bIncludeEnd) {
                out = static_cast<WCHAR>((*this)[ulStartPos]);
            } else {
                out.release();
            }
            return true;
        }
        CPLXWCharString range(*this);
        bool bResult = range.deleteRange(ulEndPos, ulStartPos, !bIncludeEnd, !bIncludeStart);
        if (bResult) {
            out = range;
        } else {
            out.release();
        }
        return bResult;
    }
    PLX_CATCH_ALL_RETURN(false)
}

bool CPLXWCharString::extractBetween(CPLXWCharString& out, const CPLXWCharString& startString, ULONG ulStartOccurrance,
                                     const CPLXWCharString& endString, ULONG ulEndOccurrance, bool bIncludeStart,
                                     bool bIncludeEnd) const {
    try {
        ULONG p1 = 0;
        ULONG p2 = 0;
        if (!find(startString, ulStartOccurrance, pmFromStart, p1) ||
            !find(endString, ulEndOccurrance, pmFromEnd, p2)) {
            return false;
        }
        // Markers are included whole or excluded whole.
        ULONG ulStart = bIncludeStart ? p1 : p1 + startString.getLength() - 1;
        ULONG ulEnd = bIncludeEnd ? p2 + endString.getLength() - 1 : p2;
        return extractInside(out, ulStart, ulEnd, bIncludeStart, bIncludeEnd);
    }
    PLX_CATCH_ALL_RETURN(false)
}

// ---------------------------------------------------------------- cutting at an occurrence

bool CPLXWCharString::cutAt(const CPLXWCharString& subString, ULONG ulOccurrance, ULONG direction, bool bCutDelimiter) {
    try {
        if (!validDirection(direction)) {
            return false;
        }
        ULONG ulPos = 0;
        if (!find(subString, ulOccurrance, direction, ulPos)) {
            return false;
        }
        ULONG m = subString.getLength();
        if (direction == pmFromStart) {
            ULONG ulFrom = bCutDelimiter ? ulPos + m : ulPos;
            return assignUnits(m_pBuffer + ulFrom, getLength() - ulFrom);
        }
        return assignUnits(m_pBuffer, bCutDelimiter ? ulPos : ulPos + m);
    }
    PLX_CATCH_ALL_RETURN(false)
}

bool CPLXWCharString::parse(CPLXWCharString& out, const CPLXWCharString& subString, ULONG ulOccurrance, ULONG parseMode,
                            bool bIncludeDelimiter) const {
    try {
        if (!isValid()) {
            return false;
        }
        CPLXWCharString piece(*this);
        ULONG ulOpposite = 0;
        if (!getOppositeOccurrence(subString, ulOccurrance, parseMode, ulOpposite)) {
            return false;
        }
        ULONG ulOppositeMode = parseMode == pmFromStart ? pmFromEnd : pmFromStart;
        if (!piece.cutAt(subString, ulOpposite, ulOppositeMode, !bIncludeDelimiter)) {
            return false;
        }
        out = piece;
        return true;
    }
    PLX_CATCH_ALL_RETURN(false)
}

// ---------------------------------------------------------------- tokens

bool CPLXWCharString::getToken(CPLXWCharString& out, const CPLXWCharString& delimiter, ULONG ulOccurrance,
                               ULONG tokenMode, const CPLXFlags& trimSides, const CPLXFlags& trimChars) const {
    try {
        if (!isValid() || !delimiter.isValid() || delimiter.getLength() == 0) {
            return false;
        }
        // A copy, so that out may be this string.
        CPLXWCharString source(*this);
        ULONG d = source.occurrenceCount(delimiter);
        if (ulOccurrance == 0) {
            throw CPLXBadArgException(TEXT("ulOccurrance"), TEXT("ulOccurrance must be greater than 0"), PLX_SRC,
                                      PLX_LOG_NOW);
        }
        bool bFound = false;
        if (d == 0) {
            if (ulOccurrance != 1) {
                return false;
            }
            out = source;
            bFound = true;
        } else if (d < ulOccurrance - 1) {
            return false;
        } else if (tokenMode == tmSeparated) {
            if (ulOccurrance == 1) {
                bFound = source.parse(out, delimiter, 1, pmFromStart, false);
            } else if (ulOccurrance == d + 1) {
                bFound = source.parse(out, delimiter, 1, pmFromEnd, false);
            } else {
                ULONG ulEndFromEnd = 0;
                bFound = source.getOppositeOccurrence(delimiter, ulOccurrance, pmFromStart, ulEndFromEnd) &&
                         source.extractBetween(out, delimiter, ulOccurrance - 1, delimiter, ulEndFromEnd, false, false);
            }
        } else if (tokenMode == tmEnclosed) {
            if (ulOccurrance >= d) {
                return false;
            }
            ULONG ulEndFromEnd = 0;
            bFound = source.getOppositeOccurrence(delimiter, ulOccurrance + 1, pmFromStart, ulEndFromEnd) &&
                     source.extractBetween(out, delimiter, ulOccurrance, delimiter, ulEndFromEnd, false, false);
        }
        if (!bFound) {
            return false;
        }
        out.trim(trimSides, trimChars);
        return true;
    }
    PLX_CATCH_ALL_RETURN(false)
}

bool CPLXWCharString::split(CPLXDblList<CPLXWCharString>& list, const CPLXWCharString& delimiter, ULONG tokenMode,
                            const CPLXFlags& trimSides, const CPLXFlags& trimChars) const {
    try {
        if (!isValid() || !delimiter.isValid()) {
            return false;
        }
        list.removeAll();
        ULONG ulStep = tokenMode == tmEnclosed ? 2 : 1;
        for (ULONG k = 1;; k += ulStep) {
            CPLXWCharString token;
            if (!getToken(token, delimiter, k, tokenMode, trimSides, trimChars)) {
                break;
            }
            LONG lTag = static_cast<LONG>(tokenMode == tmEnclosed ? (k - 1) / 2 : k - 1);
            if (!list.add(token, lTag)) {
                list.removeAll();
                break;
            }
        }
        return list.getCount() != 0;
    }
    PLX_CATCH_ALL_RETURN(false)
}

// ---------------------------------------------------------------- editing

bool CPLXWCharString::insert(const CPLXWCharString& string, ULONG ulPos) {
    try {
        if (!isValid() && ulPos != 0) {
            return false;
        }
        if (!string.isValid()) {
            throw CPLXBadArgException(TEXT("string"), TEXT("can't insert an invalid string"), PLX_SRC, PLX_LOG_NOW);
        }
        ULONG ulLength = getLength();
        if (ulPos > ulLength) {
            throw CPLXBadArgException(TEXT("ulPos"), TEXT("position is out of string bounds"), PLX_SRC, PLX_LOG_NOW);
        }
        if (ulPos == 0) {
            operator=(string + *this);
        } else if (ulPos == ulLength) {
            operator+=(string);
        } else {
            operator=(withoutLast(ulLength - ulPos) + string + withoutFirst(ulPos));
        }
        return true;
    }
    PLX_CATCH_ALL_RETURN(false)
}

bool CPLXWCharString::removeString(const CPLXWCharString& string, ULONG ulOccurrance, ULONG subStringMode) {
    try {
        if (!isValid()) {
            return false;
        }
        // string may be this string: work with a copy of the pattern.
        CPLXWCharString pattern(string);
        ULONG n = occurrenceCount(pattern);
        if (n == 0) {
            return false;
        }
        ULONG ulPasses = 0;
        ULONG ulNumber = 1;
        selectOccurrences(n, ulOccurrance, subStringMode,
                          TEXT("there aren't enough strings to accommodate ulOccurrance"), ulPasses, ulNumber);
        ULONG m = pattern.getLength();
        for (ULONG i = 0; i < ulPasses; ++i) {
            ULONG ulPos = 0;
            // Overlapping counts can promise more occurrences than remain.
            if (!find(pattern, ulNumber, pmFromStart, ulPos)) {
                continue;
            }
            ULONG ulLength = getLength();
            if (!setFromRanges(m_pBuffer, ulPos, m_pBuffer + ulPos + m, ulLength - ulPos - m)) {
                return false;
            }
        }
        compact();
        return true;
    }
    PLX_CATCH_ALL_RETURN(false)
}

bool CPLXWCharString::replace(const CPLXWCharString& oldString, const CPLXWCharString& newString, ULONG ulOccurrance,
                              ULONG subStringMode) {
    try {
        if (!isValid()) {
            return false;
        }
        if (!oldString.isValid()) {
            throw CPLXBadArgException(TEXT("oldString"), TEXT("string is invalid"), PLX_SRC, PLX_LOG_NOW);
        }
        // Either argument may be this string, which changes below.
        CPLXWCharString oldText(oldString);
        CPLXWCharString newText(newString);
        ULONG n = occurrenceCount(oldText);
        if (n == 0) {
            return false;
        }
        ULONG ulPasses = 0;
        ULONG ulNumber = 1;
        selectOccurrences(n, ulOccurrance, subStringMode, TEXT("occurrance is out of bounds"), ulPasses, ulNumber);
        // The occurrences that a replacement brings in stand before the next
        // original one; without any, the next original one takes the
        // replaced one's number.
        ULONG ulSkip = newText.occurrenceCount(oldText);
        for (ULONG i = 0; i < ulPasses; ++i) {
            ULONG ulPos = 0;
            if (!find(oldText, ulNumber, pmFromStart, ulPos)) {
                return false;
            }
            if (!removeString(oldText, ulNumber, ssmOccur)) {
                return false;
            }
            if (newText.isValid() && !insert(newText, ulPos)) {
                return false;
            }
            ulNumber += ulSkip;
        }
        return true;
    } catch (CPLXBadArgException& e) {
        plxReportCaught(e);
        return false;
    }
    PLX_CATCH_ALL_RETURN(false)
}
