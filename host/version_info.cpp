// STUB: replaced by the real implementation.
#include "host/version_info.h"
void GetVersionInfoData(const wchar_t*, const wchar_t*, wchar_t*, size_t, VS_FIXEDFILEINFO*) {}
int CheckFileVersion(const wchar_t*, unsigned, unsigned) { return 25008; }
bool GetMainInstallerVersion(wchar_t*, size_t) { return false; }
void SetInstallerVersionHooks(const InstallerVersionHooks&) {}
