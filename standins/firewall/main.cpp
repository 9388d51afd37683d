// One executable for the firewall engine's programs: "zapsetup.exe" installs the engine,
// "zauninst.exe" removes it, and every other name (the client "ov.exe", "zatutor.exe") is one of
// the installed programs, which records how it was started and ends.
#include "engine.h"
#include "standin.h"

namespace fw {

int RunProgram(const std::wstring& name) {
    standin::Record(name, {{L"command line", GetCommandLineW()}, {L"folder", CurrentFolder()}});
    return 0;
}

}  // namespace fw

int WINAPI wWinMain(HINSTANCE, HINSTANCE, wchar_t* arguments, int) {
    const std::wstring name = fw::ProgramName(fw::ModulePath());
    if (name == L"zapsetup")
        return fw::RunSetup(arguments);
    if (name == L"zauninst")
        return fw::RunUninstaller(arguments);
    return fw::RunProgram(name);
}
