#include "plx_environment_variable.h"

#include "plx_buffer.h"
#include "plx_handlers.h"
#include "plx_method_trace.h"

namespace {
// The longest value Windows keeps, terminator included.
const DWORD ENV_VALUE_MAX = 32767;
}  // namespace

CPLXEnvironmentVariable::CPLXEnvironmentVariable(const CPLXWCharString& variableName) : m_variableName(variableName) {
    PLX_TRACE("CPLXEnvironmentVariable", "CPLXEnvironmentVariable");
    plxTrace.done();
}

bool CPLXEnvironmentVariable::getValue(CPLXWCharString& value) const {
    PLX_TRACE("CPLXEnvironmentVariable", "getValue");
    try {
        if (!m_variableName.isValid() || m_variableName.getLength() == 0) {
            throw CPLXUnknownVariableNameException(PLX_SRC, PLX_LOG_NOW);
        }
        CPLXBuffer<unsigned short> buffer(ENV_VALUE_MAX);
        LPWSTR szBuffer = reinterpret_cast<LPWSTR>(buffer.getBuffer());
        DWORD ulLength = GetEnvironmentVariableW(m_variableName.c_str(), szBuffer, ENV_VALUE_MAX);
        // 0: missing or empty; ENV_VALUE_MAX or more: did not fit, buffer undefined.
        if (ulLength == 0 || ulLength >= ENV_VALUE_MAX) {
            return plxTrace.success(false);
        }
        value = static_cast<const WCHAR*>(szBuffer);
        return plxTrace.success(true);
    } catch (CPLXUnknownVariableNameException& unknownName) {
        plxReportCaught(unknownName);
        return plxTrace.success(false);
    } catch (...) {
        // Anything else reaches the caller as an unhandled-exception report.
        throw CPLXUnhandledExceptionException(PLX_NO_CODE, PLX_SRC, PLX_LOG_NOW);
    }
}
