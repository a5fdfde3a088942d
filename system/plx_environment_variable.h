// Reads one environment variable of the process by name.
#ifndef PLX_ENVIRONMENT_VARIABLE_H
#define PLX_ENVIRONMENT_VARIABLE_H

#include "plx_win32.h"
#include "plx_wchar_string.h"

class CPLXEnvironmentVariable {
public:
    explicit CPLXEnvironmentVariable(const CPLXWCharString& variableName);
    // The value; false, with value unchanged, when the variable is missing or
    // empty or the name is not set.
    bool getValue(CPLXWCharString& value) const;

private:
    CPLXWCharString m_variableName;
};

#endif
