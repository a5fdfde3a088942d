#include "plx_logging_config.h"
#include "plx_registry_dword.h"

namespace {

// One process setting, read from the registry (never from a cache).
bool readProcessSetting(LPCWSTR szValueName, DWORD& ulValue) {
    CPLXRegistryDword value(HKEY_LOCAL_MACHINE, CPLXWCharString(PLX_LOGS_KEY), CPLXWCharString(szValueName), KEY_READ,
                            false, 0);
    return value.getValue(ulValue, false);
}

}  // namespace

bool readProcessLogSettings() {
    g_dynamicLoggingState = 2;
    try {
        DWORD ulValue = 0;
        if (!readProcessSetting(TEXT("DynamicLogging"), ulValue)) {
            return false;
        }
        if (ulValue == 1) {
            g_dynamicLoggingState = 1;
        }
        if (readProcessSetting(TEXT("MaxLogFileNum"), ulValue)) {
            g_maxLogFileNum = ulValue;
        }
        if (readProcessSetting(TEXT("MaxLogFileSize"), ulValue)) {
            g_maxLogFileSize = ulValue;
        }
        return true;
    } catch (...) {
        g_dynamicLoggingState = 2;
        return false;
    }
}
