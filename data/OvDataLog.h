// The data layer's one reporting path: a line in the control's log, when there is one.
#ifndef ORVANE_DATA_OVDATALOG_H
#define ORVANE_DATA_OVDATALOG_H

#include "OvControl.h"
#include "OvLog.h"

// Writes the line and returns code, so that callers can `return OvDataLog(...)`.
inline int OvDataLog(COvControl* control, const char* className, const char* function, int code,
                     const char* detail, int origin) {
    if (control != nullptr && control->m_pLog != nullptr) {
        control->m_pLog->Logout(className, function, code, detail, origin);
    }
    return code;
}

inline int OvDataLog(COvControl* control, const char* className, const char* function, int code,
                     int detail, int origin) {
    if (control != nullptr && control->m_pLog != nullptr) {
        control->m_pLog->Logout(className, function, code, detail, origin);
    }
    return code;
}

#endif
