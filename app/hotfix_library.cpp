// The package's add-on libraries: read whole, checked to be complete
// libraries of the right build before anything on the computer changes, and
// compared byte for byte with what was copied beside the installed library.
#include "hotfix.h"

#include "plx_handlers.h"
#include "plx_scoped_handle.h"

namespace {
// Larger than any add-on library; a bigger file is not one of ours.
const DWORD kMaxLibraryBytes = 256u * 1024u * 1024u;

// Offsets in the headers of a PE file.
const ULONG kDosHeaderBytes = 0x40;
const ULONG kNtHeaderOffset = 0x3C;    // in the DOS header
const ULONG kFileHeaderBytes = 20;     // after the 4-byte signature
const ULONG kSizeOfHeaders = 60;       // in the optional header, both kinds
const ULONG kDataDirectories32 = 96;   // in a PE32 optional header
const ULONG kDataDirectories64 = 112;  // in a PE32+ optional header
const ULONG kSecurityDirectory = 4;    // a file offset, not an RVA
const ULONG kSectionHeaderBytes = 40;
const ULONG kSectionRawSize = 16;
const ULONG kSectionRawOffset = 20;

WORD readWord(const unsigned char* p) { return static_cast<WORD>(p[0] | (p[1] << 8)); }

DWORD readDword(const unsigned char* p) {
    return static_cast<DWORD>(p[0]) | (static_cast<DWORD>(p[1]) << 8) | (static_cast<DWORD>(p[2]) << 16) |
           (static_cast<DWORD>(p[3]) << 24);
}

bool sameBytes(const CPLXBuffer<unsigned char>& a, const CPLXBuffer<unsigned char>& b) {
    if (a.getNumElems() != b.getNumElems()) return false;
    for (ULONG i = 0; i < a.getNumElems(); ++i) {
        if (a[i] != b[i]) return false;
    }
    return true;
}
}  // namespace

bool readFileBytes(const CPLXWCharString& szPath, CPLXBuffer<unsigned char>& bytes) {
    try {
        // Renaming stays possible while it is read: a handle left open must not
        // keep the library from being moved into place.
        CPLXScopedKernelHandle file(CreateFileW(szPath.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE,
                                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file.isValid()) return false;
        DWORD dwSizeHigh = 0;
        const DWORD dwSize = GetFileSize(file.get(), &dwSizeHigh);
        if ((dwSize == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) || dwSizeHigh != 0 || dwSize > kMaxLibraryBytes)
            return false;
        CPLXBuffer<unsigned char> content;
        if (dwSize > 0 && !content.allocate(dwSize)) return false;
        DWORD dwRead = 0;
        if (dwSize > 0 && (!ReadFile(file.get(), content.getBuffer(), dwSize, &dwRead, nullptr) || dwRead != dwSize))
            return false;
        bytes = content;
        return true;
    }
    PLX_CATCH_RETURN(false)
}

bool isWholeLibrary(const CPLXBuffer<unsigned char>& bytes, WORD& wMachine) {
    const unsigned char* p = bytes.getBuffer();
    const unsigned long long size = bytes.getNumElems();
    if (p == nullptr || size < kDosHeaderBytes || readWord(p) != IMAGE_DOS_SIGNATURE) return false;
    const unsigned long long nt = readDword(p + kNtHeaderOffset);
    if (nt + 4 + kFileHeaderBytes > size || readDword(p + nt) != IMAGE_NT_SIGNATURE) return false;

    const unsigned char* header = p + nt + 4;
    const WORD machine = readWord(header);
    const WORD sections = readWord(header + 2);
    const WORD optionalSize = readWord(header + 16);
    const WORD characteristics = readWord(header + 18);
    const bool b64 = machine == IMAGE_FILE_MACHINE_AMD64;
    if ((machine != IMAGE_FILE_MACHINE_I386 && !b64) || (characteristics & IMAGE_FILE_DLL) == 0) return false;

    const unsigned long long optional = nt + 4 + kFileHeaderBytes;
    const ULONG directories = b64 ? kDataDirectories64 : kDataDirectories32;
    if (optionalSize < directories || optional + optionalSize > size ||
        readWord(p + optional) != (b64 ? IMAGE_NT_OPTIONAL_HDR64_MAGIC : IMAGE_NT_OPTIONAL_HDR32_MAGIC) ||
        readDword(p + optional + kSizeOfHeaders) > size)
        return false;

    // Every section's data lies in the file: a file cut short loses the last ones.
    const unsigned long long table = optional + optionalSize;
    if (sections == 0 || table + static_cast<unsigned long long>(kSectionHeaderBytes) * sections > size) return false;
    for (WORD i = 0; i < sections; ++i) {
        const unsigned char* section = p + table + static_cast<unsigned long long>(kSectionHeaderBytes) * i;
        const unsigned long long rawSize = readDword(section + kSectionRawSize);
        if (rawSize != 0 && readDword(section + kSectionRawOffset) + rawSize > size) return false;
    }

    // So does the signature, which is appended after the sections.
    const unsigned long long count = readDword(p + optional + directories - 4);
    const unsigned long long security = optional + directories + 8ull * kSecurityDirectory;
    if (count > kSecurityDirectory && security + 8 <= optional + optionalSize) {
        const unsigned long long length = readDword(p + security + 4);
        if (length != 0 && readDword(p + security) + length > size) return false;
    }
    wMachine = machine;
    return true;
}

bool checkPackageLibrary(PackageLibrary& library) {
    try {
        resolveSourcePath(CPLXWCharString(library.szName), library.szSource);
        WORD wMachine = 0;
        DWORD dwMS = 0, dwLS = 0;
        if (!readFileBytes(library.szSource, library.bytes) || !isWholeLibrary(library.bytes, wMachine) ||
            wMachine != library.wMachine || !getFileVersion(library.szSource, dwMS, dwLS) || (dwMS == 0 && dwLS == 0))
            return false;
        library.dwVersionMS = dwMS;
        library.dwVersionLS = dwLS;
        return true;
    }
    PLX_CATCH_RETURN(false)
}

bool holdsLibrary(const CPLXWCharString& szPath, const PackageLibrary& library) {
    try {
        CPLXBuffer<unsigned char> bytes;
        DWORD dwMS = 0, dwLS = 0;
        return readFileBytes(szPath, bytes) && sameBytes(bytes, library.bytes) && getFileVersion(szPath, dwMS, dwLS) &&
               dwMS == library.dwVersionMS && dwLS == library.dwVersionLS;
    }
    PLX_CATCH_RETURN(false)
}
