// STUB: replaced by the real implementation.
#include "log/logger.h"
Logger& Logger::Get() { static Logger logger; return logger; }
void Logger::SetHooks(const LoggerHooks& hooks) { hooks_ = hooks; }
int Logger::SetLogLevel(int) { return logLevel_; }
int Logger::SetDisplayLevel(int) { return displayLevel_; }
void Logger::SetOwnerWindow(HWND w) { ownerWindow_ = w; }
void Logger::Open(const wchar_t*, bool, bool) {}
void Logger::Close(int, bool) {}
void Logger::Error(unsigned, unsigned, const wchar_t*, bool) {}
void Logger::Warning(unsigned, unsigned, const wchar_t*, bool) {}
void Logger::Message(unsigned, const wchar_t*, bool) {}
void Logger::Value(unsigned, unsigned, const wchar_t*, bool) {}
void Logger::ValueSigned(unsigned, int, const wchar_t*, bool) {}
void Logger::ValueText(unsigned, const wchar_t*, const wchar_t*, bool) {}
void Logger::Report(int, int, unsigned, int, const ReportPart*) {}
void Logger::ShowMessage(const wchar_t*, bool) {}
void Logger::WriteLine(const wchar_t*, unsigned, bool) {}
void Logger::WriteText(const wchar_t*, bool) {}
void Logger::WriteRaw(const void*, DWORD, bool) {}
void LogInfoReport(unsigned, unsigned, const wchar_t*) {}
void LogInfoReportF(unsigned, unsigned, const wchar_t*, ...) {}
