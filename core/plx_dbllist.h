// CPLXDblList: the library's doubly linked list with a built-in cursor and an
// integer tag per node.  The node class fixes how an element is held:
//
//     CPLXDblList<CPLXWCharString>                         owned copies (CPLXObjNode)
//     CPLXDblList<CPLXProductRecord, CPLXPtrNode<...>>     owned pointers (addPointer)
//     CPLXDblList<PolicyLocation, CPLXStdNode<...>>        plain values
//
// The list grows at the tail only and is emptied as a whole.  No operation
// lets an exception escape.
#ifndef PLX_DBLLIST_H
#define PLX_DBLLIST_H

#include <new>
#include <type_traits>
#include <utility>

#include "plx_handlers.h"
#include "plx_win32.h"

// Element types need operator==; those without an order compare neither
// less nor greater (registry value records, policy settings).
template <class A, class = void>
struct PLXHasLess : std::false_type {};
template <class A>
struct PLXHasLess<A, std::void_t<decltype(std::declval<const A&>() < std::declval<const A&>())>> : std::true_type {};
template <class A, class = void>
struct PLXHasGreater : std::false_type {};
template <class A>
struct PLXHasGreater<A, std::void_t<decltype(std::declval<const A&>() > std::declval<const A&>())>> : std::true_type {};

template <class A>
bool plxElemLess(const A& a, const A& b) {
    if constexpr (PLXHasLess<A>::value) {
        return static_cast<bool>(a < b);
    } else {
        (void)a;
        (void)b;
        return false;
    }
}
template <class A>
bool plxElemGreater(const A& a, const A& b) {
    if constexpr (PLXHasGreater<A>::value) {
        return static_cast<bool>(a > b);
    } else {
        (void)a;
        (void)b;
        return false;
    }
}

// V: how an element is passed in; G: what get() hands out.
template <class V, class G>
class CPLXNode {
public:
    typedef V ValueArg;
    typedef G GetResult;

    CPLXNode() : m_pNext(nullptr), m_pPrev(nullptr), m_lTag(0) {}
    CPLXNode(const CPLXNode&) = delete;
    CPLXNode& operator=(const CPLXNode&) = delete;
    virtual ~CPLXNode() {
        m_pNext = nullptr;
        m_pPrev = nullptr;
    }

    virtual bool operator==(V value) const = 0;
    virtual bool operator!=(V value) const = 0;
    virtual bool operator<(V value) const = 0;
    virtual bool operator>(V value) const = 0;
    virtual G get() = 0;
    virtual bool set(V value) = 0;

    // The held element in the form add() takes.
    virtual V element() const = 0;
    // A new node of the same class holding its own copy of the element, or
    // null when memory runs out.  Pointer nodes copy their pointee.
    virtual CPLXNode* clone() const = 0;
    virtual bool isPointerNode() const { return false; }

    CPLXNode* m_pNext;
    CPLXNode* m_pPrev;
    LONG m_lTag;
};

// Holds an owned copy of the element.
template <class T>
class CPLXObjNode : public CPLXNode<const T&, T*> {
public:
    typedef CPLXNode<const T&, T*> BaseNode;

    explicit CPLXObjNode(const T& value) : m_Object(value) {}
    static CPLXObjNode* create(const T& value) { return new (std::nothrow) CPLXObjNode(value); }

    bool operator==(const T& value) const override { return static_cast<bool>(m_Object == value); }
    bool operator!=(const T& value) const override { return !(m_Object == value); }
    bool operator<(const T& value) const override { return plxElemLess(m_Object, value); }
    bool operator>(const T& value) const override { return plxElemGreater(m_Object, value); }
    T* get() override { return &m_Object; }
    // Records that cannot be assigned cannot be replaced in place.
    bool set(const T& value) override {
        if constexpr (std::is_copy_assignable<T>::value) {
            m_Object = value;
            return true;
        } else {
            (void)value;
            return false;
        }
    }
    const T& element() const override { return m_Object; }
    BaseNode* clone() const override { return create(m_Object); }

    T m_Object;
};

// Holds an owned pointer; the pointee is deleted with the node.
template <class T>
class CPLXPtrNode : public CPLXNode<const T*, T*> {
public:
    typedef CPLXNode<const T*, T*> BaseNode;

    // Takes ownership of pPointer.
    explicit CPLXPtrNode(T* pPointer) : m_pPointer(pPointer) {}
    // A node owning a copy of *value (add() on a list of pointer nodes).
    static CPLXPtrNode* create(const T* value) {
        T* pCopy = nullptr;
        if (value != nullptr) {
            pCopy = new (std::nothrow) T(*value);
            if (pCopy == nullptr) {
                return nullptr;
            }
        }
        CPLXPtrNode* pNode = new (std::nothrow) CPLXPtrNode(pCopy);
        if (pNode == nullptr) {
            delete pCopy;
        }
        return pNode;
    }
    ~CPLXPtrNode() override {
        if (m_pPointer != nullptr) {
            try {
                delete m_pPointer;
            } catch (...) {
                CMemDestroyFailWarning(TEXT("m_pPointer"), PLX_SRC, PLX_LOG_NOW);
            }
        }
        m_pPointer = nullptr;
    }

    // Comparisons are of the pointees; a null pointer equals only another null.
    bool operator==(const T* value) const override {
        if (m_pPointer == nullptr || value == nullptr) {
            return m_pPointer == value;
        }
        return static_cast<bool>(*m_pPointer == *value);
    }
    bool operator!=(const T* value) const override { return !operator==(value); }
    bool operator<(const T* value) const override {
        return m_pPointer != nullptr && value != nullptr && plxElemLess(*m_pPointer, *value);
    }
    bool operator>(const T* value) const override {
        return m_pPointer != nullptr && value != nullptr && plxElemGreater(*m_pPointer, *value);
    }
    T* get() override { return m_pPointer; }
    // The node keeps owning what it holds: it stores a copy of *value.
    bool set(const T* value) override {
        T* pCopy = nullptr;
        if (value != nullptr) {
            pCopy = new (std::nothrow) T(*value);
            if (pCopy == nullptr) {
                return false;
            }
        }
        delete m_pPointer;
        m_pPointer = pCopy;
        return true;
    }
    const T* element() const override { return m_pPointer; }
    BaseNode* clone() const override { return create(m_pPointer); }
    bool isPointerNode() const override { return true; }

    T* m_pPointer;
};

// Holds a plain value (an enumeration or an integer).
template <class T>
class CPLXStdNode : public CPLXNode<T, T> {
public:
    typedef CPLXNode<T, T> BaseNode;

    explicit CPLXStdNode(T value) : m_Value(value) {}
    static CPLXStdNode* create(T value) { return new (std::nothrow) CPLXStdNode(value); }

    bool operator==(T value) const override { return m_Value == value; }
    bool operator!=(T value) const override { return m_Value != value; }
    bool operator<(T value) const override { return m_Value < value; }
    bool operator>(T value) const override { return m_Value > value; }
    T get() override { return m_Value; }
    bool set(T value) override {
        m_Value = value;
        return true;
    }
    T element() const override { return m_Value; }
    BaseNode* clone() const override { return create(m_Value); }

    T m_Value;
};

template <class T, class Node = CPLXObjNode<T>>
class CPLXDblList {
public:
    typedef typename Node::BaseNode BaseNode;
    typedef typename BaseNode::ValueArg ValueArg;
    typedef typename BaseNode::GetResult GetResult;

    CPLXDblList() : m_pHead(nullptr), m_pTail(nullptr), m_pCursor(nullptr), m_ulCount(0) {}
    CPLXDblList(const CPLXDblList& other) : m_pHead(nullptr), m_pTail(nullptr), m_pCursor(nullptr), m_ulCount(0) {
        copyFrom(other);
    }
    ~CPLXDblList() { removeAll(); }

    // Appends a node of the list's node class holding value.
    bool add(ValueArg value, LONG lTag = 0) {
        try {
            BaseNode* pNewNode = Node::create(value);
            if (pNewNode == nullptr) {
                throw CPLXMemAllocException(TEXT("pNewNode"), PLX_SRC, PLX_LOG_NOW);
            }
            pNewNode->m_lTag = lTag;
            appendNode(pNewNode);
            return true;
        }
        PLX_CATCH_RETURN(false)
    }

    // Appends a pointer node that takes ownership of pPointer (tag 0).  Only
    // lists of pointer nodes have it.  On failure the caller keeps pPointer.
    bool addPointer(T* pPointer) {
        try {
            BaseNode* pNewNode = new (std::nothrow) CPLXPtrNode<T>(pPointer);
            if (pNewNode == nullptr) {
                throw CPLXMemAllocException(TEXT("pNewNode"), PLX_SRC, PLX_LOG_NOW);
            }
            appendNode(pNewNode);
            return true;
        }
        PLX_CATCH_RETURN(false)
    }

    void moveFirst() { m_pCursor = m_pHead; }

    bool moveNext() {
        if (m_pCursor == nullptr || m_pCursor->m_pNext == nullptr) {
            return false;
        }
        m_pCursor = m_pCursor->m_pNext;
        return true;
    }

    // A copy of the cursor node's element.
    bool getCurrent(T& out) {
        try {
            if (m_pCursor == nullptr) {
                return false;
            }
            return assignElement(out, m_pCursor->get());
        }
        PLX_CATCH_RETURN(false)
    }

    // The cursor node's get(): the element's address, the stored pointer or
    // the value; null (or zero) without a cursor.
    GetResult getCurrentPointer() {
        if (m_pCursor == nullptr) {
            return GetResult();
        }
        return m_pCursor->get();
    }

    LONG getCurrentTag() const { return m_pCursor != nullptr ? m_pCursor->m_lTag : 0; }

    bool setCurrent(ValueArg value) {
        try {
            if (m_pCursor == nullptr) {
                return false;
            }
            return m_pCursor->set(value);
        }
        PLX_CATCH_RETURN(false)
    }

    // Moves the cursor to the first node with lTag; not found leaves it on the tail.
    bool findTag(LONG lTag) {
        m_pCursor = m_pHead;
        while (m_pCursor != nullptr) {
            if (m_pCursor->m_lTag == lTag) {
                return true;
            }
            if (m_pCursor->m_pNext == nullptr) {
                return false;
            }
            m_pCursor = m_pCursor->m_pNext;
        }
        return false;
    }

    ULONG getCount() const { return m_ulCount; }

    // Calls fn with every element, head to tail; the cursor stays where it is.
    template <class F>
    void forEach(F fn) const {
        for (const BaseNode* pNode = m_pHead; pNode != nullptr; pNode = pNode->m_pNext) fn(pNode->element());
    }

    // Destroys every node from head to tail; the list is empty afterwards.
    bool removeAll() {
        bool bResult = true;
        try {
            m_pCursor = m_pHead;
            while (m_pCursor != nullptr) {
                BaseNode* pTempCursor = m_pCursor;
                m_pCursor = m_pCursor->m_pNext;
                pTempCursor->m_pNext = nullptr;
                pTempCursor->m_pPrev = nullptr;
                try {
                    delete pTempCursor;
                } catch (...) {
                    CMemDestroyFailWarning(TEXT("pTempCursor"), PLX_SRC, PLX_LOG_NOW);
                }
            }
        } catch (...) {
            plxReportUnhandled(static_cast<DWORD>(errno), PLX_SRC);
            bResult = false;
        }
        m_pHead = nullptr;
        m_pTail = nullptr;
        m_pCursor = nullptr;
        m_ulCount = 0;
        return bResult;
    }

    // Same count, and node by node the same tags and equal elements.
    bool operator==(const CPLXDblList& other) const {
        try {
            if (m_ulCount != other.m_ulCount) {
                return false;
            }
            const BaseNode* pMine = m_pHead;
            const BaseNode* pTheirs = other.m_pHead;
            while (pMine != nullptr && pTheirs != nullptr) {
                if (pMine->m_lTag != pTheirs->m_lTag || !(*pMine == pTheirs->element())) {
                    return false;
                }
                pMine = pMine->m_pNext;
                pTheirs = pTheirs->m_pNext;
            }
            return pMine == nullptr && pTheirs == nullptr;
        }
        PLX_CATCH_RETURN(false)
    }
    bool operator!=(const CPLXDblList& other) const { return !operator==(other); }

    // Replaces the contents by a deep copy of other: same node kinds and
    // tags, no shared elements.  Stops at the first node it cannot copy.
    bool copyFrom(const CPLXDblList& other) {
        if (&other == this) {
            return true;
        }
        try {
            if (m_ulCount != 0) {
                removeAll();
            }
            for (const BaseNode* pSource = other.m_pHead; pSource != nullptr; pSource = pSource->m_pNext) {
                BaseNode* pNode = pSource->clone();
                if (pNode == nullptr) {
                    throw CPLXMemAllocException(TEXT("pNode"), PLX_SRC, PLX_LOG_NOW);
                }
                pNode->m_lTag = pSource->m_lTag;
                appendNode(pNode);
            }
            return true;
        }
        PLX_CATCH_RETURN(false)
    }

    CPLXDblList& operator=(const CPLXDblList& other) {
        copyFrom(other);
        return *this;
    }

private:
    void appendNode(BaseNode* pNode) {
        pNode->m_pNext = nullptr;
        pNode->m_pPrev = m_pTail;
        if (m_pTail == nullptr) {
            m_pHead = pNode;
            m_pCursor = pNode;
        } else {
            m_pTail->m_pNext = pNode;
        }
        m_pTail = pNode;
        ++m_ulCount;
    }

    static bool assignElement(T& out, T* pElement) {
        if (pElement == nullptr) {
            return false;
        }
        out = *pElement;
        return true;
    }
    template <class U, class = typename std::enable_if<!std::is_pointer<U>::value>::type>
    static bool assignElement(T& out, const U& value) {
        out = value;
        return true;
    }

    BaseNode* m_pHead;
    BaseNode* m_pTail;
    BaseNode* m_pCursor;
    ULONG m_ulCount;
};

#endif
