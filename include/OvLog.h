// The library's log: one line per reported event, the last line kept as the last error.
#ifndef ORVANE_OVLOG_H
#define ORVANE_OVLOG_H

#include <cstdio>
#include <mutex>

#include "OvTypes.h"

// A line is built from a template by replacing, in this order, every "[d]" by the
// date (YYYY/MM/DD), "[t]" by the time (hh:mm:ss), "[c]" by the class name, "[f]" by
// the operation, "[m]" by the detail text and "[i]" by the code. Each line is flushed
// before Logout returns. Logout, SetLastError and GetLastError may be called from
// several threads at once: lines never interleave and the last error is never torn.
class OV_EXPORT COvLog {
public:
    COvLog();
    virtual ~COvLog();            // does not close the file: Exit does
    COvLog(const COvLog& other);  // shares the strings and the open file
    COvLog& operator=(const COvLog& other);

    // Closes an open file, then opens path for appending (0, or -10001 when it cannot
    // be opened: no file, empty path). A null path keeps only the last error (0).
    int Init(const char* path, const char* format);
    // Closes the file; the last error stays usable.
    void Exit();

    // Writes one line (when a file is open) and makes it the last error. The origin
    // flag is accepted and not shown.
    void Logout(const char* className, const char* function, int code, const char* info,
                int origin);
    void Logout(const char* className, const char* function, int code, int info, int origin);

    void SetLastError(int code, COvString text);
    // Sets text to the last line (shared) and returns its code.
    int GetLastError(COvString& text);

private:
    COvString m_strFormat;
    COvString m_strPath;
    FILE* m_pFile;
    int m_nLastError;
    COvString m_strLastError;
    // Keeps lines whole and the last error consistent when the loading threads and
    // the client's thread report at once. Not copied: each log has its own.
    mutable std::mutex m_Lock;
};

#endif
