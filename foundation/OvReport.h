// The library's one failure path: every subsystem reports a failure through here.
#ifndef ORVANE_FOUNDATION_OVREPORT_H
#define ORVANE_FOUNDATION_OVREPORT_H

class COvControl;

namespace ov {

// Who found the failure: the reporting operation itself, or an operation it called
// whose code it passes on (the detail then names that operation).
constexpr int kFoundHere = 1;
constexpr int kPassedOn = 0;

// Writes one line (class, function, code, detail, origin) to the control's log when
// there is a control with a log, and hands the code back, so that a caller writes
// `return ov::Report(...)`. Safe from any thread (the log serialises its lines).
int Report(COvControl* control, const char* className, const char* function, int code,
           const char* detail, int origin);
// The same with a number as the detail (allocation sizes are reported in decimal).
int Report(COvControl* control, const char* className, const char* function, int code,
           long long detail, int origin);

}  // namespace ov

#endif
