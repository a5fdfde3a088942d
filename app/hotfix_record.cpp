// The two traces the hotfix leaves: the patch record under the product's
// registry key and the patch log beside the product.
#include "hotfix.h"

#include "plx_file_no_link.h"
#include "plx_handlers.h"
#include "plx_product_vls.h"
#include "plx_registry_key.h"
#include "plx_registry_multi_string.h"
#include "plx_registry_string.h"
#include "plx_scoped_handle.h"

#include <cstring>

namespace {
// The record written by this hotfix, and the one whose presence means it is not needed.
const LONG kPatchRecordNumber = 8106;
const LONG kPatchCheckNumber = 8100;

// The record key for a hotfix number below the product's registry location.
bool getPatchKeyPath(LONG lNumber, CPLXWCharString& szPath) {
    CPLXProduct_VLS product;
    CPLXWCharString szLocation;
    if (!product.getRegistryLocation(szLocation)) return false;
    szPath = szLocation + CPLXWCharString(TEXT("\\Patch\\")) + CPLXWCharString(lNumber);
    return true;
}
}  // namespace

bool g_silentMode = false;
CPLXWCharString g_patchLogName =
    CPLXWCharString(TEXT("patchlog")) + CPLXWCharString(kPatchRecordNumber) + CPLXWCharString(TEXT(".txt"));

bool isPatchRecorded() {
    try {
        CPLXWCharString szPath;
        if (!getPatchKeyPath(kPatchCheckNumber, szPath)) return false;
        CPLXRegistryKey key(HKEY_LOCAL_MACHINE, szPath, KEY_READ, false, 0);
        return key.exists();
    }
    PLX_CATCH_RETURN(false)
}

bool isPatchRecordComplete(const CPLXWCharString& szDescription, const CPLXDblList<CPLXWCharString>& lFiles) {
    try {
        CPLXWCharString szPath;
        if (!getPatchKeyPath(kPatchRecordNumber, szPath)) return false;
        CPLXRegistryString description(HKEY_LOCAL_MACHINE, szPath, CPLXWCharString(TEXT("description")), KEY_READ,
                                       false, 0);
        CPLXRegistryMultiString updated(HKEY_LOCAL_MACHINE, szPath, CPLXWCharString(TEXT("updated")), KEY_READ, false,
                                        0);
        CPLXWCharString szStored;
        CPLXDblList<CPLXWCharString> lStored, lExpected(lFiles);
        if (!description.getValue(szStored, false) || description.getType() != REG_SZ || szStored != szDescription ||
            !updated.readRegistry() || !updated.getCachedValue(lStored) || lStored.getCount() != lExpected.getCount())
            return false;
        lStored.moveFirst();
        lExpected.moveFirst();
        for (ULONG i = 0; i < lExpected.getCount(); ++i, lStored.moveNext(), lExpected.moveNext()) {
            CPLXWCharString szFile, szExpectedFile;
            if (!lStored.getCurrent(szFile) || !lExpected.getCurrent(szExpectedFile) || szFile != szExpectedFile)
                return false;
        }
        return true;
    }
    PLX_CATCH_RETURN(false)
}

int writePatchRecord(const CPLXWCharString& szDescription, const CPLXDblList<CPLXWCharString>& lFiles) {
    try {
        CPLXWCharString szPath;
        if (!getPatchKeyPath(kPatchRecordNumber, szPath)) return 0;
        CPLXRegistryKey key(HKEY_LOCAL_MACHINE, szPath, KEY_READ, false, 0);
        if (!key.create()) return 0;
        // Failures of the two writes are in the library's log; the user is not told.
        CPLXRegistryString description(HKEY_LOCAL_MACHINE, szPath, CPLXWCharString(TEXT("description")), KEY_WRITE,
                                       true, 0);
        description.setValue(szDescription, false);
        CPLXRegistryMultiString updated(HKEY_LOCAL_MACHINE, szPath, CPLXWCharString(TEXT("updated")), KEY_WRITE, true,
                                        0);
        updated.setValue(lFiles, false);
        return 0;
    }
    PLX_CATCH_RETURN(0)
}

int appendPatchLog(CPLXWCharString& szLine) {
    try {
        CPLXWCharString szPath;
        resolveInstallPath(szPath, g_patchLogName);
        // Without an installation directory the log lands in the current
        // directory, often one that standard users can write to: a link
        // planted there is refused like a log that cannot be opened.
        CPLXScopedKernelHandle file(
            plxCreateFileNoLink(szPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL));
        if (!file.isValid()) return 0;  // no rights, no place or a link: the line is dropped
        bool bNeedsMark = GetLastError() != ERROR_ALREADY_EXISTS;
        bool bOddEnd = false;
        if (!bNeedsMark) {
            // Without its end the line would overwrite the log's beginning.
            const DWORD dwEnd = SetFilePointer(file.get(), 0, nullptr, FILE_END);
            if (dwEnd == INVALID_SET_FILE_POINTER)  // without a high part, no end gives this value
                return 0;
            // An empty log is one whose mark could not be written: it gets it now.
            bNeedsMark = dwEnd == 0;
            bOddEnd = dwEnd % 2 != 0;
        }
        DWORD dwWritten = 0;
        if (bNeedsMark) {
            // A line without the mark would leave a log that is not read as UTF-16.
            static const BYTE kByteOrderMark[2] = {0xFF, 0xFE};
            if (!WriteFile(file.get(), kByteOrderMark, sizeof(kByteOrderMark), &dwWritten, nullptr) ||
                dwWritten != sizeof(kByteOrderMark))
                return 0;
        }
        szLine += CPLXWCharString(TEXT("\r\n"));
        const DWORD dwLineBytes = static_cast<DWORD>(szLine.getLength() * sizeof(WCHAR));
        // After a log of odd length a zero byte first: the line starts on a
        // character boundary, and the text before it stays readable too.
        const DWORD dwPad = bOddEnd ? 1 : 0;
        CPLXBuffer<unsigned char> bytes(dwPad + dwLineBytes);
        std::memcpy(bytes.getBuffer() + dwPad, szLine.c_str(), dwLineBytes);
        WriteFile(file.get(), bytes.getBuffer(), bytes.getNumElems(), &dwWritten, nullptr);
        return 0;
    }
    PLX_CATCH_RETURN(0)
}
