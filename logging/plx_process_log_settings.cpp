#include "plx_handlers.h"
#include "plx_logging_config.h"
#include "plx_registry_dword.h"

namespace {

// One process setting, read afresh from the registry.
bool readLogsDword(LPCWSTR szValueName, DWORD& dwValue) {
    CPLXRegistryDword value(HKEY_LOCAL_MACHINE, CPLXWCharString(PLX_LOGS_KEY), CPLXWCharString(szValueName), KEY_READ,
                            false, 0);
    return value.getValue(dwValue, false);
}

}  // namespace

bool readProcessLogSettings() {
    g_dynamicLoggingState = 2;
    try {
        DWORD dwValue = 0;
        if (!readLogsDword(TEXT("DynamicLogging"), dwValue)) return false;
        if (dwValue == 1) g_dynamicLoggingState = 1;
        if (readLogsDword(TEXT("MaxLogFileNum"), dwValue)) g_maxLogFileNum = dwValue;
        if (readLogsDword(TEXT("MaxLogFileSize"), dwValue)) g_maxLogFileSize = dwValue;
        return true;
    }
    catch (...) {
        g_dynamicLoggingState = 2;
        return false;
    }
}
