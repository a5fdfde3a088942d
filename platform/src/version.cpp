// File version resources of real PE files (PE32 and PE32+), read the way
// version.dll does: the first RT_VERSION resource of the file, copied as the
// VS_VERSIONINFO block.  Files come from anywhere, so every offset and size
// in them is checked against the file before it is used; a damaged or
// hostile file is refused, never read past its end.
#include "internal.h"

#include <sys/stat.h>

#include <cstring>
#include <fstream>

namespace {

const DWORD kRtVersion = 16;
const size_t kMaxSections = 96;  // the most sections Windows loads
const size_t kBlockHeader = 6;   // wLength, wValueLength, wType

// Reads ranges of a file and refuses any range that does not lie inside it.
class FileReader {
public:
    explicit FileReader(const std::string& host) : m_in(host, std::ios::binary) {
        struct stat st;
        if (m_in && stat(host.c_str(), &st) == 0) m_size = static_cast<uint64_t>(st.st_size);
    }
    bool open() const { return static_cast<bool>(m_in); }
    uint64_t size() const { return m_size; }

    bool read(uint64_t offset, void* out, size_t length) {
        if (offset > m_size || length > m_size - offset) return false;
        m_in.clear();
        m_in.seekg(static_cast<std::streamoff>(offset));
        m_in.read(static_cast<char*>(out), static_cast<std::streamsize>(length));
        return m_in.gcount() == static_cast<std::streamsize>(length);
    }
    bool u16(uint64_t offset, WORD& value) {
        BYTE b[2];
        if (!read(offset, b, 2)) return false;
        value = static_cast<WORD>(b[0] | (b[1] << 8));
        return true;
    }
    bool u32(uint64_t offset, DWORD& value) {
        BYTE b[4];
        if (!read(offset, b, 4)) return false;
        value = static_cast<DWORD>(b[0]) | (static_cast<DWORD>(b[1]) << 8) | (static_cast<DWORD>(b[2]) << 16) |
                (static_cast<DWORD>(b[3]) << 24);
        return true;
    }

private:
    std::ifstream m_in;
    uint64_t m_size = 0;
};

struct Section {
    DWORD virtualAddress, virtualSize, rawSize, rawOffset;
};

// The PE image of a file: its sections and where its resources are.
class PeImage {
public:
    explicit PeImage(FileReader& file) : m_file(file) {}

    // ERROR_SUCCESS, ERROR_RESOURCE_DATA_NOT_FOUND when the file is no PE
    // image or has no resources, ERROR_BAD_FORMAT when its headers are damaged.
    DWORD load() {
        WORD magic;
        if (!m_file.u16(0, magic) || magic != 0x5A4D) return ERROR_RESOURCE_DATA_NOT_FOUND;  // "MZ"
        DWORD peOffset, signature;
        if (!m_file.u32(0x3C, peOffset)) return ERROR_BAD_FORMAT;
        if (!m_file.u32(peOffset, signature) || signature != 0x00004550) return ERROR_BAD_FORMAT;  // "PE\0\0"
        uint64_t fileHeader = static_cast<uint64_t>(peOffset) + 4;
        WORD sectionCount, optionalSize, optionalMagic;
        if (!m_file.u16(fileHeader + 2, sectionCount) || !m_file.u16(fileHeader + 16, optionalSize))
            return ERROR_BAD_FORMAT;
        uint64_t optional = fileHeader + 20;
        if (!m_file.u16(optional, optionalMagic)) return ERROR_BAD_FORMAT;
        uint64_t directoryCountAt, directories;
        if (optionalMagic == 0x10B) {  // PE32
            directoryCountAt = optional + 92;
            directories = optional + 96;
        } else if (optionalMagic == 0x20B) {  // PE32+
            directoryCountAt = optional + 108;
            directories = optional + 112;
        } else {
            return ERROR_BAD_FORMAT;
        }
        const uint64_t resourceEntry = directories + 2 * 8;  // IMAGE_DIRECTORY_ENTRY_RESOURCE
        DWORD directoryCount;
        if (!m_file.u32(directoryCountAt, directoryCount)) return ERROR_BAD_FORMAT;
        if (directoryCount < 3 || resourceEntry + 8 > optional + optionalSize) return ERROR_RESOURCE_DATA_NOT_FOUND;
        if (!m_file.u32(resourceEntry, m_resourceRva) || !m_file.u32(resourceEntry + 4, m_resourceSize))
            return ERROR_BAD_FORMAT;
        if (m_resourceRva == 0 || m_resourceSize == 0) return ERROR_RESOURCE_DATA_NOT_FOUND;

        if (sectionCount > kMaxSections) return ERROR_BAD_FORMAT;
        uint64_t table = optional + optionalSize;
        for (WORD i = 0; i < sectionCount; ++i) {
            uint64_t at = table + static_cast<uint64_t>(i) * 40;
            Section s;
            if (!m_file.u32(at + 8, s.virtualSize) || !m_file.u32(at + 12, s.virtualAddress) ||
                !m_file.u32(at + 16, s.rawSize) || !m_file.u32(at + 20, s.rawOffset))
                return ERROR_BAD_FORMAT;
            m_sections.push_back(s);
        }
        return ERROR_SUCCESS;
    }

    // The file offset of length bytes at rva, all inside one section's data in the file.
    bool fileOffset(uint64_t rva, DWORD length, uint64_t& offset) const {
        for (const Section& s : m_sections) {
            if (rva < s.virtualAddress) continue;
            uint64_t into = rva - s.virtualAddress;
            if (into + length > s.rawSize) continue;
            offset = static_cast<uint64_t>(s.rawOffset) + into;
            return offset + length <= m_file.size();
        }
        return false;
    }

    // The file offset and size of the first RT_VERSION resource (first name,
    // first language).  The directory is walked exactly three levels deep, so
    // a directory that points back at itself cannot make the walk loop.
    DWORD findVersion(uint64_t& offset, DWORD& size) const {
        DWORD entry;
        if (!findEntry(0, true, kRtVersion, entry)) return ERROR_RESOURCE_DATA_NOT_FOUND;
        if (!(entry & 0x80000000u)) return ERROR_RESOURCE_DATA_NOT_FOUND;
        if (!findEntry(entry & 0x7FFFFFFFu, false, 0, entry) || !(entry & 0x80000000u))
            return ERROR_RESOURCE_DATA_NOT_FOUND;
        if (!findEntry(entry & 0x7FFFFFFFu, false, 0, entry) || (entry & 0x80000000u))
            return ERROR_RESOURCE_DATA_NOT_FOUND;
        // IMAGE_RESOURCE_DATA_ENTRY: the data's RVA and size.
        DWORD dataRva, dataSize;
        if (!resourceU32(entry, dataRva) || !resourceU32(entry + 4, dataSize)) return ERROR_RESOURCE_DATA_NOT_FOUND;
        if (dataSize < kBlockHeader || !fileOffset(dataRva, dataSize, offset)) return ERROR_RESOURCE_DATA_NOT_FOUND;
        size = dataSize;
        return ERROR_SUCCESS;
    }

private:
    // A WORD or DWORD at an offset into the resource directory, which must lie inside it.
    bool resourceU32(DWORD offset, DWORD& value) const {
        uint64_t at;
        return resourceAt(offset, 4, at) && m_file.u32(at, value);
    }
    bool resourceU16(DWORD offset, WORD& value) const {
        uint64_t at;
        return resourceAt(offset, 2, at) && m_file.u16(at, value);
    }
    bool resourceAt(DWORD offset, DWORD length, uint64_t& at) const {
        if (static_cast<uint64_t>(offset) + length > m_resourceSize) return false;
        return fileOffset(static_cast<uint64_t>(m_resourceRva) + offset, length, at);
    }
    // In the directory at dirOffset: the entry with the numeric id (byId) or
    // the first entry; entry receives its OffsetToData.
    bool findEntry(DWORD dirOffset, bool byId, DWORD id, DWORD& entry) const {
        WORD named, ids;
        if (!resourceU16(dirOffset + 12, named) || !resourceU16(dirOffset + 14, ids)) return false;
        DWORD count = static_cast<DWORD>(named) + ids;
        for (DWORD i = 0; i < count; ++i) {
            uint64_t at = static_cast<uint64_t>(dirOffset) + 16 + static_cast<uint64_t>(i) * 8;
            if (at + 8 > m_resourceSize) return false;
            DWORD name, data;
            if (!resourceU32(static_cast<DWORD>(at), name) || !resourceU32(static_cast<DWORD>(at + 4), data))
                return false;
            if (!byId || (!(name & 0x80000000u) && name == id)) {
                entry = data;
                return true;
            }
        }
        return false;
    }

    FileReader& m_file;
    DWORD m_resourceRva = 0;
    DWORD m_resourceSize = 0;
    std::vector<Section> m_sections;
};

WORD wordAt(const BYTE* p) { return static_cast<WORD>(p[0] | (p[1] << 8)); }
DWORD dwordAt(const BYTE* p) {
    return static_cast<DWORD>(p[0]) | (static_cast<DWORD>(p[1]) << 8) | (static_cast<DWORD>(p[2]) << 16) |
           (static_cast<DWORD>(p[3]) << 24);
}
size_t align4(size_t offset) { return (offset + 3) & ~static_cast<size_t>(3); }

// One node of a version block: wLength, wValueLength, wType, key, value, children.
struct Node {
    size_t start = 0, end = 0;        // offsets into the block
    size_t keyStart = 0, keyEnd = 0;  // the key's characters, without terminator
    size_t valueStart = 0, valueBytes = 0;
    WORD valueLength = 0, type = 0;
    size_t childrenStart = 0;
};

// Reads the node at start; it must end within limit.  False when damaged.
bool readNode(const BYTE* block, size_t start, size_t limit, Node& node) {
    if (start + kBlockHeader > limit) return false;
    WORD length = wordAt(block + start);
    if (length < kBlockHeader || start + length > limit) return false;
    node.start = start;
    node.end = start + length;
    node.valueLength = wordAt(block + start + 2);
    node.type = wordAt(block + start + 4);
    node.keyStart = start + kBlockHeader;
    size_t at = node.keyStart;
    while (true) {
        if (at + 2 > node.end) return false;
        if (wordAt(block + at) == 0) break;
        at += 2;
    }
    node.keyEnd = at;
    node.valueStart = align4(at + 2);
    node.valueBytes = node.type == 1 ? static_cast<size_t>(node.valueLength) * 2 : node.valueLength;
    if (node.valueStart + node.valueBytes > node.end) {
        // A text value whose length counts bytes instead of characters still fits.
        if (node.type == 1 && node.valueStart + node.valueLength <= node.end)
            node.valueBytes = node.valueLength;
        else
            return false;
    }
    node.childrenStart = align4(node.valueStart + node.valueBytes);
    return true;
}

bool keyEquals(const BYTE* block, const Node& node, const std::u16string& key) {
    std::u16string text;
    for (size_t at = node.keyStart; at < node.keyEnd; at += 2)
        text.push_back(static_cast<char16_t>(wordAt(block + at)));
    return plxsim::equalNoCase(text, key);
}

bool findChild(const BYTE* block, const Node& parent, const std::u16string& key, Node& child) {
    size_t at = parent.childrenStart;
    while (at + kBlockHeader <= parent.end) {
        Node candidate;
        if (!readNode(block, at, parent.end, candidate)) return false;
        if (keyEquals(block, candidate, key)) {
            child = candidate;
            return true;
        }
        at = align4(candidate.end);
    }
    return false;
}

const std::u16string kRootKey = u"VS_VERSION_INFO";

// The whole block must be a well-formed VS_VERSIONINFO whose fixed file
// information, when present, carries its signature.
bool validBlock(const BYTE* block, size_t size) {
    Node root;
    if (!readNode(block, 0, size, root) || !keyEquals(block, root, kRootKey)) return false;
    if (root.valueLength == 0) return true;
    return root.valueLength >= sizeof(VS_FIXEDFILEINFO) && dwordAt(block + root.valueStart) == VS_FFI_SIGNATURE;
}

// The host path of the file that a version query for name reads: a full
// path as given; a relative one is looked for as LoadLibrary looks for a
// library, and resolved against the current directory when it is nowhere.
bool versionFilePath(LPCWSTR name, std::string& host, DWORD* error) {
    std::u16string text = plxsim::toU16(name);
    bool relative = !(text.size() >= 2 && text[1] == u':') && text[0] != u'\\' && text[0] != u'/';
    if (relative) {
        for (const std::u16string& dir : plxsim::librarySearchDirectories()) {
            if (dir.empty()) continue;
            std::u16string candidate = dir + u"\\" + text;
            struct stat st;
            if (plxsim::hostPath(candidate.c_str(), host, nullptr) && stat(host.c_str(), &st) == 0 &&
                S_ISREG(st.st_mode))
                return true;
        }
    }
    return plxsim::hostPath(name, host, error);
}

// Reads the version block of a file into block; ERROR_SUCCESS or the error to report.
DWORD readVersionBlock(LPCWSTR path, std::vector<BYTE>& block) {
    if (!path) return ERROR_INVALID_PARAMETER;
    std::string host;
    DWORD error = ERROR_PATH_NOT_FOUND;
    if (!path[0] || !versionFilePath(path, host, &error)) return error;
    struct stat st;
    if (stat(host.c_str(), &st) != 0) return plxsim::missingPathError(host);
    if (S_ISDIR(st.st_mode)) return ERROR_ACCESS_DENIED;
    FileReader file(host);
    if (!file.open()) return ERROR_ACCESS_DENIED;
    PeImage image(file);
    if ((error = image.load()) != ERROR_SUCCESS) return error;
    uint64_t offset;
    DWORD size;
    if ((error = image.findVersion(offset, size)) != ERROR_SUCCESS) return error;
    WORD length;
    if (!file.u16(offset, length) || length < kBlockHeader || length > size) return ERROR_RESOURCE_DATA_NOT_FOUND;
    block.resize(length);
    if (!file.read(offset, block.data(), length)) return ERROR_RESOURCE_DATA_NOT_FOUND;
    if (!validBlock(block.data(), block.size())) return ERROR_RESOURCE_DATA_NOT_FOUND;
    return ERROR_SUCCESS;
}

}  // namespace

DWORD WINAPI GetFileVersionInfoSizeW(LPCWSTR lptstrFilename, LPDWORD lpdwHandle) {
    if (lpdwHandle) *lpdwHandle = 0;
    plxsim::ApiCall call("GetFileVersionInfoSizeW", lptstrFilename);
    if (call.fault()) return call.fail(0);
    std::vector<BYTE> block;
    DWORD error = readVersionBlock(lptstrFilename, block);
    if (error != ERROR_SUCCESS) {
        SetLastError(error);
        return 0;
    }
    // As on Windows: twice the resource and 4 bytes, room for the converted
    // texts that the ANSI query makes.  GetFileVersionInfoW needs only the block.
    SetLastError(ERROR_SUCCESS);
    return static_cast<DWORD>(block.size() * 2 + 4);
}

BOOL WINAPI GetFileVersionInfoW(LPCWSTR lptstrFilename, DWORD dwHandle, DWORD dwLen, LPVOID lpData) {
    plxsim::ApiCall call("GetFileVersionInfoW", lptstrFilename);
    if (call.fault()) return call.fail(FALSE);
    (void)dwHandle;  // ignored, as on Windows
    if (!lpData || dwLen == 0) {
        SetLastError(ERROR_INVALID_DATA);
        return FALSE;
    }
    std::vector<BYTE> block;
    DWORD error = readVersionBlock(lptstrFilename, block);
    if (error != ERROR_SUCCESS) {
        SetLastError(error);
        return FALSE;
    }
    // A short buffer gets the block cut to its size, as documented; the cut
    // block's length then says so, so that queries stay inside the buffer.
    size_t copied = block.size() < dwLen ? block.size() : dwLen;
    std::memcpy(lpData, block.data(), copied);
    if (copied < block.size() && copied >= 2) {
        BYTE* out = static_cast<BYTE*>(lpData);
        out[0] = static_cast<BYTE>(copied & 0xFF);
        out[1] = static_cast<BYTE>(copied >> 8);
    }
    SetLastError(ERROR_SUCCESS);
    return TRUE;
}

BOOL WINAPI VerQueryValueW(LPCVOID pBlock, LPCWSTR lpSubBlock, LPVOID* lplpBuffer, UINT* puLen) {
    plxsim::ApiCall call("VerQueryValueW", lpSubBlock);
    if (call.fault()) return call.fail(FALSE);
    if (!pBlock || !lplpBuffer) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const BYTE* block = static_cast<const BYTE*>(pBlock);
    Node node;
    if (!readNode(block, 0, wordAt(block), node)) {
        SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
        return FALSE;
    }
    // "\" (or "") is the fixed file information; each further "\name" one level down.
    std::u16string path = plxsim::toU16(lpSubBlock);
    size_t at = 0;
    while (at < path.size()) {
        size_t next = path.find(u'\\', at);
        if (next == std::u16string::npos) next = path.size();
        if (next > at) {
            Node child;
            if (!findChild(block, node, path.substr(at, next - at), child)) {
                SetLastError(ERROR_RESOURCE_TYPE_NOT_FOUND);
                return FALSE;
            }
            node = child;
        }
        at = next + 1;
    }
    if (node.start == 0 && node.valueLength != 0 &&
        (node.valueLength < sizeof(VS_FIXEDFILEINFO) || dwordAt(block + node.valueStart) != VS_FFI_SIGNATURE)) {
        SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
        return FALSE;
    }
    *lplpBuffer = const_cast<BYTE*>(block + node.valueStart);
    // Texts are counted in characters, everything else in bytes.
    if (puLen) *puLen = node.valueLength;
    return TRUE;
}
