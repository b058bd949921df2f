#include "OvLog.h"

#include <ctime>
#include <string>

namespace {

// Replaces every non-overlapping occurrence of placeholder, left to right; the
// inserted text is not scanned again.
void ReplaceAll(std::string& line, const char* placeholder, const char* text) {
    const std::string from(placeholder);
    const std::string to(text ? text : "");
    std::string::size_type pos = 0;
    while ((pos = line.find(from, pos)) != std::string::npos) {
        line.replace(pos, from.size(), to);
        pos += to.size();
    }
}

}  // namespace

COvLog::COvLog() : m_pFile(nullptr), m_nLastError(0) {}

COvLog::~COvLog() {}

COvLog::COvLog(const COvLog& other) : m_pFile(nullptr), m_nLastError(0) {
    *this = other;
}

COvLog& COvLog::operator=(const COvLog& other) {
    if (this == &other)
        return *this;
    std::scoped_lock lock(m_Lock, other.m_Lock);
    m_strFormat = other.m_strFormat;
    m_strPath = other.m_strPath;
    m_pFile = other.m_pFile;
    m_nLastError = other.m_nLastError;
    m_strLastError = other.m_strLastError;
    return *this;
}

int COvLog::Init(const char* path, const char* format) {
    std::lock_guard<std::mutex> lock(m_Lock);
    if (m_pFile) {
        std::fclose(m_pFile);
        m_pFile = nullptr;
    }
    m_strFormat = format;
    if (path == nullptr) {
        m_strPath.Empty();
        return 0;
    }
    m_strPath = path;
    // "e": the descriptor is not inherited by programs the client starts.
    m_pFile = std::fopen(path, "ae");
    if (m_pFile == nullptr) {
        m_strPath.Empty();
        return OV_E_FILE;
    }
    return 0;
}

void COvLog::Exit() {
    std::lock_guard<std::mutex> lock(m_Lock);
    if (m_pFile) {
        std::fclose(m_pFile);
        m_pFile = nullptr;
    }
}

void COvLog::Logout(const char* className, const char* function, int code, const char* info,
                    int /*origin*/) {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char date[32];
    char time[32];
    std::snprintf(date, sizeof date, "%04d/%02d/%02d", local.tm_year + 1900, local.tm_mon + 1,
                  local.tm_mday);
    std::snprintf(time, sizeof time, "%02d:%02d:%02d", local.tm_hour, local.tm_min, local.tm_sec);
    const std::string codeText = std::to_string(code);

    std::lock_guard<std::mutex> lock(m_Lock);
    std::string line(static_cast<const char*>(m_strFormat));
    ReplaceAll(line, "[d]", date);
    ReplaceAll(line, "[t]", time);
    ReplaceAll(line, "[c]", className);
    ReplaceAll(line, "[f]", function);
    ReplaceAll(line, "[m]", info);
    ReplaceAll(line, "[i]", codeText.c_str());
    if (m_pFile) {
        std::fprintf(m_pFile, "%s\n", line.c_str());
        std::fflush(m_pFile);
    }
    m_nLastError = code;
    m_strLastError = line.c_str();
}

void COvLog::Logout(const char* className, const char* function, int code, int info, int origin) {
    Logout(className, function, code, std::to_string(info).c_str(), origin);
}

void COvLog::SetLastError(int code, COvString text) {
    std::lock_guard<std::mutex> lock(m_Lock);
    m_nLastError = code;
    m_strLastError = text;
}

int COvLog::GetLastError(COvString& text) {
    std::lock_guard<std::mutex> lock(m_Lock);
    text = m_strLastError;
    return m_nLastError;
}
