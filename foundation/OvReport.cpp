#include "foundation/OvReport.h"

#include <string>

#include "OvControl.h"
#include "OvLog.h"

namespace ov {

int Report(COvControl* control, const char* className, const char* function, int code,
           const char* detail, int origin) {
    if (control != nullptr && control->m_pLog != nullptr)
        control->m_pLog->Logout(className, function, code, detail != nullptr ? detail : "", origin);
    return code;
}

int Report(COvControl* control, const char* className, const char* function, int code,
           long long detail, int origin) {
    return Report(control, className, function, code, std::to_string(detail).c_str(), origin);
}

}  // namespace ov
