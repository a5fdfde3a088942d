#include "plx_log_notification.h"

CLogNotification::CLogNotification(LPCWSTR szMessage, USHORT usOutputs, bool bLogNow, bool bLogOnDestroy)
    : CPLXSimpleLog(PLX_LEVEL_NOTIFICATION, szMessage, 0, rkErrorCode, bLogNow, bLogOnDestroy, usOutputs) {}
