// A NOTIFICATION record in the short form (such as a message box shown).
#ifndef PLX_LOG_NOTIFICATION_H
#define PLX_LOG_NOTIFICATION_H

#include "plx_logging.h"

class CLogNotification : public CPLXSimpleLog {
public:
    CLogNotification(LPCWSTR szMessage, USHORT usOutputs, bool bLogNow, bool bLogOnDestroy);
};

#endif
