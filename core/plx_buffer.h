// CPLXBuffer: the library's owning, bounds-checked array of plain elements.
//
// The array always has exactly the size asked for, is zero-filled when
// allocated and overwritten with zeros before it is freed.  Operations report
// their failures to the log and answer false; only the constructors and
// operator[] let an exception reach the caller.
#ifndef PLX_BUFFER_H
#define PLX_BUFFER_H

#include <cerrno>
#include <cstddef>
#include <cstring>
#include <new>
#include <type_traits>

#include "plx_handlers.h"
#include "plx_win32.h"

template <class T>
class CPLXBuffer {
    static_assert(std::is_trivially_copyable<T>::value, "CPLXBuffer holds plain elements only");
    template <class U>
    friend class CPLXBuffer;

public:
    explicit CPLXBuffer(ULONG ulNumElems = 0) : m_pBuffer(nullptr), m_ulNumElems(0) {
        if (!allocate(ulNumElems)) {
            throw CPLXBufferInitException(PLX_SRC, true);
        }
    }

    // ulNumElems elements from pData placed after ulOffset zero elements; a
    // null pData gives ulNumElems zero elements.
    CPLXBuffer(const T* pData, ULONG ulNumElems, ULONG ulOffset = 0) : m_pBuffer(nullptr), m_ulNumElems(0) {
        try {
            if (pData != nullptr) {
                if (ulNumElems != 0) {
                    if (ulNumElems > ~static_cast<ULONG>(0) - ulOffset) {
                        throw CPLXMemAllocException(TEXT("m_pBuffer"), PLX_SRC, PLX_LOG_NOW);
                    }
                    if (!allocate(ulNumElems + ulOffset)) {
                        throw CPLXBufferInitException(PLX_SRC, true);
                    }
                    copyElems(m_pBuffer + ulOffset, pData, ulNumElems);
                }
            } else if (!allocate(ulNumElems)) {
                throw CPLXBufferInitException(PLX_SRC, true);
            }
        }
        PLX_CATCH_RETHROW(CPLXBufferInitException(PLX_SRC, true))
    }

    // A copy that cannot be made leaves this buffer empty (operator= reports it).
    CPLXBuffer(const CPLXBuffer& other) : m_pBuffer(nullptr), m_ulNumElems(0) {
        try {
            operator=(other);
        }
        PLX_CATCH_THROW(CPLXBufferInitException(PLX_SRC, true))
    }

    virtual ~CPLXBuffer() {
        try {
            CPLXBuffer::release();
        }
        PLX_CATCH_ALL_SWALLOW
    }

    T* getBuffer() { return m_pBuffer; }
    const T* getBuffer() const { return m_pBuffer; }
    ULONG getNumElems() const { return m_ulNumElems; }

    T& operator[](ULONG ulIndex) {
        checkIndex(ulIndex);
        return m_pBuffer[ulIndex];
    }
    T operator[](ULONG ulIndex) const {
        checkIndex(ulIndex);
        return m_pBuffer[ulIndex];
    }

    // Discards the current array and allocates a new zero-filled one.
    virtual bool allocate(ULONG ulNumElems) {
        try {
            if (!release()) {
                return false;
            }
            if (ulNumElems == 0) {
                return true;
            }
            T* pNew = new (std::nothrow) T[ulNumElems];
            if (pNew == nullptr) {
                throw CPLXMemAllocException(TEXT("m_pBuffer"), PLX_SRC, PLX_LOG_NOW);
            }
            m_pBuffer = pNew;
            m_ulNumElems = ulNumElems;
            wipe();
            return true;
        }
        PLX_CATCH_RETURN(false)
    }

    // Wipes and frees the array; the buffer is empty afterwards in every case.
    virtual bool release() {
        bool bResult = true;
        if (m_pBuffer != nullptr) {
            wipe();
            try {
                delete[] m_pBuffer;
            } catch (...) {
                bResult = false;
                CMemDestroyFailWarning(TEXT("m_pBuffer"), PLX_SRC, PLX_LOG_NOW);
            }
        }
        m_pBuffer = nullptr;
        m_ulNumElems = 0;
        return bResult;
    }

    // Changes the size, keeping the leading elements; growth is zero-filled.
    virtual bool resize(ULONG ulNumElems) {
        try {
            CPLXBuffer saved(*this);
            // A copy that failed (and was reported) must not cost the contents.
            if (saved.m_ulNumElems != m_ulNumElems) {
                return false;
            }
            if (!allocate(ulNumElems)) {
                return false;
            }
            ULONG ulKeep = ulNumElems < saved.m_ulNumElems ? ulNumElems : saved.m_ulNumElems;
            copyElems(m_pBuffer, saved.m_pBuffer, ulKeep);
            return true;
        }
        PLX_CATCH_RETURN(false)
    }

    CPLXBuffer& operator=(const CPLXBuffer& source) {
        if (&source == this) {
            return *this;
        }
        try {
            if (!allocate(source.m_ulNumElems)) {
                return *this;
            }
            copyElems(m_pBuffer, source.m_pBuffer, source.m_ulNumElems);
            return *this;
        }
        PLX_CATCH_RETURN(*this)
    }

    bool append(const CPLXBuffer& other) {
        try {
            if (&other == this) {
                CPLXBuffer copy(other);
                return copy.m_ulNumElems == m_ulNumElems && append(copy);
            }
            ULONG ulOld = m_ulNumElems;
            if (!resize(sizeAfter(ulOld, other.m_ulNumElems))) {
                return false;
            }
            copyElems(m_pBuffer + ulOld, other.m_pBuffer, other.m_ulNumElems);
            return true;
        }
        PLX_CATCH_RETURN(false)
    }

    CPLXBuffer& operator+=(const CPLXBuffer& other) {
        append(other);
        return *this;
    }

    // This buffer's first ulOffset elements followed by all of other.
    bool appendAt(const CPLXBuffer& other, ULONG ulOffset) {
        try {
            if (ulOffset > m_ulNumElems) {
                throw CPLXBadArgException(TEXT("ulOffset"),
                                          TEXT("can't append a buffer at an offset past the bounds of this buffer"),
                                          PLX_SRC, PLX_LOG_NOW);
            }
            if (&other == this) {
                CPLXBuffer copy(other);
                return copy.m_ulNumElems == m_ulNumElems && appendAt(copy, ulOffset);
            }
            if (!resize(sizeAfter(ulOffset, other.m_ulNumElems))) {
                return false;
            }
            // Appending nothing is the cut alone.
            return other.m_ulNumElems == 0 || write(other, ulOffset, false);
        }
        PLX_CATCH_RETURN(false)
    }

    // Copies all of buffer over the elements from ulOffset on; with bGrow the
    // buffer grows to exactly ulOffset + buffer's count when needed.
    bool write(const CPLXBuffer& buffer, ULONG ulOffset, bool bGrow) {
        try {
            if (buffer.m_ulNumElems == 0) {
                throw CPLXBadArgException(TEXT("buffer"), TEXT("buffer is of zero size - can't write"), PLX_SRC,
                                          PLX_LOG_NOW);
            }
            if (&buffer == this) {
                CPLXBuffer copy(buffer);
                return copy.m_ulNumElems == m_ulNumElems && write(copy, ulOffset, bGrow);
            }
            if (buffer.m_ulNumElems <= m_ulNumElems && ulOffset <= m_ulNumElems - buffer.m_ulNumElems) {
                copyElems(m_pBuffer + ulOffset, buffer.m_pBuffer, buffer.m_ulNumElems);
                return true;
            }
            if (!bGrow) {
                throw CPLXBadArgException(TEXT("buffer"), TEXT("buffer + offset will overrun this buffer"), PLX_SRC,
                                          PLX_LOG_NOW);
            }
            if (!appendAt(buffer, ulOffset)) {
                throw CPLXMemoryCopyException(static_cast<ULONG>(errno), PLX_SRC, true);
            }
            return true;
        }
        PLX_CATCH_RETURN(false)
    }

    // ulNumElems elements from ulOffset into out.  Reading past the end fails
    // and sets ulNumElems to the number of elements that could be read.
    bool read(CPLXBuffer& out, ULONG ulOffset, ULONG& ulNumElems) const {
        try {
            if (&out == this) {
                CPLXBuffer part;
                if (!read(part, ulOffset, ulNumElems)) {
                    out.release();
                    return false;
                }
                out = part;
                return out.m_ulNumElems == part.m_ulNumElems;
            }
            out.release();
            if (ulNumElems == 0) {
                return true;
            }
            if (ulOffset >= m_ulNumElems || ulNumElems > m_ulNumElems - ulOffset) {
                ulNumElems = ulOffset < m_ulNumElems ? m_ulNumElems - ulOffset : 0;
                throw CPLXBadArgException(TEXT("ulNumElems + ulOffset"),
                                          TEXT("can't read more elements than are in this buffer"), PLX_SRC,
                                          PLX_LOG_NOW);
            }
            if (!out.allocate(ulNumElems)) {
                return false;
            }
            copyElems(out.m_pBuffer, m_pBuffer + ulOffset, ulNumElems);
            return true;
        }
        PLX_CATCH_RETURN(false)
    }

    // The same into caller memory of at least ulNumElems elements.
    bool read(T* pBuffer, ULONG ulOffset, ULONG& ulNumElems) const {
        try {
            if (pBuffer == nullptr) {
                throw CPLXBadArgException(TEXT("pBuffer"), TEXT("value is NULL"), PLX_SRC, PLX_LOG_NOW);
            }
            CPLXBuffer part;
            if (!read(part, ulOffset, ulNumElems)) {
                return false;
            }
            copyElems(pBuffer, part.m_pBuffer, part.m_ulNumElems);
            return true;
        }
        PLX_CATCH_RETURN(false)
    }

    // The same bytes as a byte buffer, in memory order.
    CPLXBuffer<unsigned char> toByteBuffer() const {
        CPLXBuffer<unsigned char> result;
        try {
            ULONG ulBytes = byteCount();
            if (ulBytes != 0 && result.allocate(ulBytes)) {
                CPLXBuffer<unsigned char>::copyBytes(result.m_pBuffer, m_pBuffer, ulBytes);
            }
            return result;
        }
        PLX_CATCH_RETURN(CPLXBuffer<unsigned char>())
    }

    // The same bytes as 16-bit units; an odd last byte gets a zero high byte.
    CPLXBuffer<unsigned short> toWideBuffer() const {
        CPLXBuffer<unsigned short> result;
        try {
            ULONG ulBytes = byteCount();
            if (ulBytes != 0 && result.allocate(ulBytes / 2 + ulBytes % 2)) {
                CPLXBuffer<unsigned short>::copyBytes(result.m_pBuffer, m_pBuffer, ulBytes);
            }
            return result;
        }
        PLX_CATCH_RETURN(CPLXBuffer<unsigned short>())
    }

protected:
    T* m_pBuffer;
    ULONG m_ulNumElems;

private:
    void checkIndex(ULONG ulIndex) const {
        if (ulIndex >= m_ulNumElems) {
            throw CPLXIndexOutOfBoundsException(PLX_SRC, PLX_LOG_NOW);
        }
    }

    ULONG byteCount() const {
        size_t bytes = static_cast<size_t>(m_ulNumElems) * sizeof(T);
        if (bytes > ~static_cast<ULONG>(0)) {
            throw CPLXMemAllocException(TEXT("m_pBuffer"), PLX_SRC, PLX_LOG_NOW);
        }
        return static_cast<ULONG>(bytes);
    }

    static ULONG sizeAfter(ULONG ulKept, ULONG ulAdded) {
        if (ulAdded > ~static_cast<ULONG>(0) - ulKept) {
            throw CPLXMemAllocException(TEXT("m_pBuffer"), PLX_SRC, PLX_LOG_NOW);
        }
        return ulKept + ulAdded;
    }

    // One block copy; a copy that does not return its destination failed.
    static void copyBytes(void* pDest, const void* pSource, size_t bytes) {
        if (bytes == 0) {
            return;
        }
        if (std::memcpy(pDest, pSource, bytes) != pDest) {
            throw CPLXMemoryCopyException(static_cast<ULONG>(errno), PLX_SRC, true);
        }
    }
    static void copyElems(T* pDest, const T* pSource, ULONG ulNumElems) {
        copyBytes(pDest, pSource, static_cast<size_t>(ulNumElems) * sizeof(T));
    }

    // Zeroes every byte in one block.  The call goes through a volatile
    // function pointer: the compiler cannot know it is memset, so it cannot
    // drop the stores to an array that is freed right after.
    void wipe() {
        static void* (*volatile const s_zero)(void*, int, size_t) = std::memset;
        if (m_pBuffer != nullptr) {
            s_zero(m_pBuffer, 0, static_cast<size_t>(m_ulNumElems) * sizeof(T));
        }
    }
};

#endif
