#include "package.h"

#include <fstream>

namespace avfwtest {

namespace {

const wchar_t kStepVariable[] = L"OV_PACKAGE_STEP";
const wchar_t kResultVariable[] = L"OV_PACKAGE_RESULTS";

std::wstring ProgramName() {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring name = path;
    name = name.substr(name.find_last_of(L'\\') + 1);
    // A copy made for another Windows version is named "<test>-<version>.exe".
    size_t dash = name.find(L'-');
    return dash == std::wstring::npos ? name : name.substr(0, dash) + L".exe";
}

}  // namespace

Package::Package() : root_(scratch_ / L"package") {
    CreateDirectoryW(root_.c_str(), nullptr);
    program_ = ProgramName();
    Add(L"", {program_, L"kestrafrm.dll", L"kestrares.dll", L"ovavprod.dll"});
    Write(L"license.txt", "Licence\r\n");
}

void Package::Add(const std::wstring& subfolder, const std::vector<std::wstring>& binFiles) {
    std::wstring folder = subfolder.empty() ? root_ : root_ + L"\\" + subfolder;
    CreateDirectoryW(folder.c_str(), nullptr);
    for (const std::wstring& file : binFiles) {
        std::wstring name = file.substr(file.find_last_of(L'\\') + 1);
        CopyFileW((ovtest::BinDir() + L"\\" + file).c_str(), (folder + L"\\" + name).c_str(), FALSE);
    }
}

void Package::Write(const std::wstring& relativePath, const std::string& bytes) {
    ovtest::WriteFileBytes(root_ + L"\\" + relativePath, bytes);
}

Results Package::Run(const std::string& step, const Environment& environment, const std::wstring& winver,
                     DWORD timeoutMs) {
    std::wstring program = root_ + L"\\" + program_;
    if (!winver.empty()) {
        std::wstring copy = program_.substr(0, program_.size() - 4) + L"-" + winver + L".exe";
        CopyFileW(program.c_str(), (root_ + L"\\" + copy).c_str(), FALSE);
        ovtest::SetProgramWindowsVersion(copy, winver);
        program = root_ + L"\\" + copy;
    }
    const std::wstring results = scratch_ / L"results.txt";
    DeleteFileW(results.c_str());
    SetEnvironmentVariableW(kStepVariable, ovtest::Widen(step).c_str());
    SetEnvironmentVariableW(kResultVariable, results.c_str());
    for (const auto& value : environment)
        SetEnvironmentVariableW(value.first.c_str(), value.second.c_str());
    int code = ovtest::RunProcess(L"\"" + program + L"\" --gtest_filter=Child.Step", timeoutMs);
    for (const auto& value : environment)
        SetEnvironmentVariableW(value.first.c_str(), nullptr);
    SetEnvironmentVariableW(kStepVariable, nullptr);
    SetEnvironmentVariableW(kResultVariable, nullptr);

    Results found;
    std::ifstream in(ovtest::Narrow(results));
    std::string line;
    while (std::getline(in, line)) {
        size_t equals = line.find('=');
        if (equals != std::string::npos)
            found[line.substr(0, equals)] = line.substr(equals + 1);
    }
    if (code != 0)
        found["failed"] = std::to_string(code);
    return found;
}

std::string ChildStep() {
    return ovtest::Narrow(ChildValue(kStepVariable));
}

std::wstring ChildValue(const wchar_t* name) {
    wchar_t value[1024] = {};
    DWORD n = GetEnvironmentVariableW(name, value, 1024);
    return n > 0 && n < 1024 ? value : L"";
}

void Report(const std::string& key, const std::string& value) {
    std::ofstream out(ovtest::Narrow(ChildValue(kResultVariable)), std::ios::app);
    out << key << "=" << value << "\n";
}

void Report(const std::string& key, int value) {
    Report(key, std::to_string(value));
}

}  // namespace avfwtest

#include <objbase.h>

#include <memory>

#include "components/product_av.h"
#include "components/product_fw.h"
#include "components/product_main.h"
#include "log/logger.h"
#include "setup/options.h"
#include "setup/setup.h"

namespace avfwtest {

namespace {

struct Listed {
    std::string name;
    std::unique_ptr<Product> product;
};

std::vector<Listed> ListedProducts() {
    std::vector<Listed> listed;
    std::string names = ovtest::Narrow(ChildValue(L"OV_PRODUCTS")) + ",";
    for (size_t start = 0, comma; (comma = names.find(',', start)) != std::string::npos; start = comma + 1) {
        std::string name = names.substr(start, comma - start);
        Product* product = name == "av"    ? static_cast<Product*>(new ProductAV)
                           : name == "fw"  ? static_cast<Product*>(new ProductFW)
                           : name == "fwu" ? static_cast<Product*>(new ProductFWU)
                                           : nullptr;
        if (product != nullptr)
            listed.push_back({name, std::unique_ptr<Product>(product)});
    }
    return listed;
}

void Install(std::vector<Listed>& listed) {
    ProductMain::Get().SetShellNeeded(ChildValue(L"OV_SHELL") == L"1");
    for (Listed& item : listed) {
        Product& product = *item.product;
        product.available = product.active = 1;
        wchar_t ignored[MAX_PATH];
        int code = product.BeginInstall(ignored, MAX_PATH);
        Report(item.name + ".begin", code);
        Report(item.name + ".previous", ovtest::Narrow(product.previousVersion));
        if (code == 0) {
            code = product.Install();
            Report(item.name + ".install", code);
            Report(item.name + ".installed", ovtest::Narrow(product.installedVersion));
        }
        if (code == 0)
            Report(item.name + ".finish", product.FinishInstall());
    }
}

void Uninstall(std::vector<Listed>& listed) {
    for (Listed& item : listed) {
        Product& product = *item.product;
        product.available = product.active = 1;
        int code = product.BeginUninstall();
        Report(item.name + ".begin", code);
        if (code == 0)
            Report(item.name + ".uninstall", product.Uninstall());
    }
}

void Check(std::vector<Listed>& listed) {
    for (Listed& item : listed) {
        Product& product = *item.product;
        product.available = 1;
        Report(item.name + ".version", product.CheckVersion());
        wchar_t text[kMessageChars];
        Report(item.name + ".os", product.CheckOperatingSystem(text, kMessageChars));
        Report(item.name + ".os.text", ovtest::Narrow(text));
    }
}

void InstallWithEachSwitchCombination() {
    SetupOptions& options = SetupOptions::Get();
    for (int combination = 0; combination < 16; ++combination) {
        options.updateFirewall = !(combination & 1);
        options.uninstallInfo = !(combination & 2);
        options.createProgramGroup = !(combination & 4);
        options.productCheck = !(combination & 8);
        ProductAV antivirus;
        antivirus.available = antivirus.active = 1;
        antivirus.ResolveInstallDirectory();
        Report("av.install." + std::to_string(combination), antivirus.Install());
    }
}

}  // namespace

void RunChildStep() {
    const std::string step = ChildStep();
    CoInitialize(nullptr);
    SetupOptions::Get().ParseWide(ChildValue(L"OV_OPTIONS").c_str());
    const std::wstring log = ChildValue(L"OV_LOG");
    if (!log.empty()) {
        Logger::Get().SetLogLevel(3);
        Logger::Get().Open(log.c_str(), true);
    }
    Setup* setup = Setup::Create(step == "uninstall" ? kRoleUninstall : kRoleInstall);
    std::vector<Listed> listed = ListedProducts();
    for (Listed& item : listed)
        setup->products.Append(item.product.get());
    if (step == "install")
        Install(listed);
    else if (step == "uninstall")
        Uninstall(listed);
    else if (step == "check")
        Check(listed);
    else if (step == "av-switches")
        InstallWithEachSwitchCombination();
    else
        Report("unknown step", step);
    Setup::Destroy();
    CoUninitialize();
}

}  // namespace avfwtest
