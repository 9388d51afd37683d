// One executable for all of the antivirus product's programs: what it does follows from its file
// name (see CMakeLists.txt).
#include "av_product.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, wchar_t* arguments, int) {
    const std::wstring name = av::ProgramName(av::ModulePath());
    if (name == L"setup")
        return av::RunSetup(arguments);
    if (name == L"unwexa32")
        return av::RunUninstaller(arguments);
    return av::RunProgram(name, arguments);
}
