#include "component_package.h"

#include <gtest/gtest.h>
#include <objbase.h>
#include <shobjidl.h>
#include <shlobj.h>
#include <tlhelp32.h>
#include <winperf.h>

#include <string.h>

#include "components/product_main.h"
#include "host/registry.h"
#include "host/system.h"
#include "log/logger.h"
#include "process/process_find.h"
#include "product/product.h"
#include "setup/options.h"
#include "setup/roles.h"

namespace ovtest {

namespace {

const wchar_t kResultsKey[] = L"SOFTWARE\\OvTestResults";

std::wstring ThisProgramName() {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring full = path;
    return full.substr(full.find_last_of(L'\\') + 1);
}

void CopyInto(const std::wstring& source, const std::wstring& folder) {
    std::wstring name = source.substr(source.find_last_of(L'\\') + 1);
    if (!CopyFileW(source.c_str(), (folder + L"\\" + name).c_str(), FALSE)) {
        ADD_FAILURE() << "cannot copy " << Narrow(source) << " into the package";
    }
}

// ---- process list from a snapshot, laid out as the performance data's "Process" object -------

const DWORD kProcessIndex = 230;
const DWORD kIdProcessIndex = 784;

void Append(std::vector<BYTE>* block, const void* data, size_t bytes) {
    const BYTE* p = static_cast<const BYTE*>(data);
    block->insert(block->end(), p, p + bytes);
}

void PadTo8(std::vector<BYTE>* block) {
    while (block->size() % 8 != 0) {
        block->push_back(0);
    }
}

// One instance per running process, named as the performance data names it: the file name
// without ".exe".
std::vector<BYTE> SnapshotBlock() {
    std::vector<std::pair<std::wstring, DWORD>> processes;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot != INVALID_HANDLE_VALUE) {
        PROCESSENTRY32W entry = {};
        entry.dwSize = sizeof(entry);
        for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry)) {
            std::wstring name = entry.szExeFile;
            size_t dot = name.find_last_of(L'.');
            if (dot != std::wstring::npos && _wcsicmp(name.c_str() + dot, L".exe") == 0) {
                name.resize(dot);
            }
            processes.push_back({name, entry.th32ProcessID});
        }
        CloseHandle(snapshot);
    }

    std::vector<BYTE> object(sizeof(PERF_OBJECT_TYPE), 0);
    PERF_COUNTER_DEFINITION counter = {};
    counter.ByteLength = sizeof(counter);
    counter.CounterNameTitleIndex = kIdProcessIndex;
    counter.CounterSize = sizeof(DWORD);
    counter.CounterOffset = 8;
    Append(&object, &counter, sizeof(counter));
    DWORD definitionLength = static_cast<DWORD>(object.size());
    for (const auto& process : processes) {
        size_t start = object.size();
        PERF_INSTANCE_DEFINITION instance = {};
        instance.UniqueID = PERF_NO_UNIQUE_ID;
        instance.NameOffset = sizeof(instance);
        instance.NameLength = static_cast<DWORD>((process.first.size() + 1) * sizeof(wchar_t));
        Append(&object, &instance, sizeof(instance));
        Append(&object, process.first.c_str(), instance.NameLength);
        PadTo8(&object);
        reinterpret_cast<PERF_INSTANCE_DEFINITION*>(object.data() + start)->ByteLength =
            static_cast<DWORD>(object.size() - start);
        BYTE counters[16] = {};
        reinterpret_cast<PERF_COUNTER_BLOCK*>(counters)->ByteLength = sizeof(counters);
        memcpy(counters + 8, &process.second, sizeof(DWORD));
        Append(&object, counters, sizeof(counters));
    }
    PERF_OBJECT_TYPE* type = reinterpret_cast<PERF_OBJECT_TYPE*>(object.data());
    type->TotalByteLength = static_cast<DWORD>(object.size());
    type->DefinitionLength = definitionLength;
    type->HeaderLength = sizeof(PERF_OBJECT_TYPE);
    type->ObjectNameTitleIndex = kProcessIndex;
    type->NumCounters = 1;
    type->NumInstances = static_cast<LONG>(processes.size());

    std::vector<BYTE> block(sizeof(PERF_DATA_BLOCK), 0);
    const wchar_t system[] = L"WINE";
    Append(&block, system, sizeof(system));
    PadTo8(&block);
    DWORD headerLength = static_cast<DWORD>(block.size());
    Append(&block, object.data(), object.size());
    PERF_DATA_BLOCK* header = reinterpret_cast<PERF_DATA_BLOCK*>(block.data());
    memcpy(header->Signature, L"PERF", 8);
    header->LittleEndian = 1;
    header->Version = PERF_DATA_VERSION;
    header->Revision = PERF_DATA_REVISION;
    header->TotalByteLength = static_cast<DWORD>(block.size());
    header->HeaderLength = headerLength;
    header->NumObjectTypes = 1;
    header->SystemNameLength = sizeof(system);
    header->SystemNameOffset = sizeof(PERF_DATA_BLOCK);
    return block;
}

LONG SnapshotQuery(DWORD objectIndex, BYTE* buffer, DWORD* bytes) {
    if (objectIndex != kProcessIndex) {
        return ERROR_FILE_NOT_FOUND;
    }
    std::vector<BYTE> block = SnapshotBlock();
    if (block.size() > *bytes) {
        *bytes = static_cast<DWORD>(block.size());
        return ERROR_MORE_DATA;
    }
    memcpy(buffer, block.data(), block.size());
    *bytes = static_cast<DWORD>(block.size());
    return ERROR_SUCCESS;
}

DWORD SnapshotCounterIndex(const wchar_t* name) {
    return wcscmp(name, L"Process") == 0      ? kProcessIndex
           : wcscmp(name, L"ID Process") == 0 ? kIdProcessIndex
                                              : 0;
}

bool NotCitrix() {
    return false;
}

}  // namespace

const wchar_t* const kShellFiles[15] = {
    L"ovkestra.exe",      L"ovkestra.exe.manifest",
    L"ovkestrafrm.dll",   L"ovkestrares.dll",
    L"ovkestraprod.dll",  L"ovkestraastab.dll",
    L"ovkestraavtab.dll", L"ovkestrafwtab.dll",
    L"ovkestrapmtab.dll", L"ovkestra.dat",
    L"pmdash.dll",        L"zsdk.dll",
    L"ovkestradt.exe",    L"ovavif.dll",
    L"ovavutil.dll",
};

// ---- records -------------------------------------------------------------------------------------

StandinRecords::StandinRecords() {
    SetEnvironmentVariableW(L"OV_STANDIN_RECORDS", folder_.path().c_str());
}

StandinRecords::~StandinRecords() {
    SetEnvironmentVariableW(L"OV_STANDIN_RECORDS", nullptr);
}

std::vector<Record> StandinRecords::Read(const std::wstring& program) const {
    std::vector<Record> entries;
    std::string text = ReadFileBytes(folder_ / (program + L".txt"));
    Record entry;
    size_t at = 0;
    while (at < text.size()) {
        size_t end = text.find("\r\n", at);
        if (end == std::string::npos) {
            end = text.size();
        }
        std::string line = text.substr(at, end - at);
        at = end + 2;
        if (line.empty()) {
            entries.push_back(entry);
            entry.clear();
            continue;
        }
        size_t colon = line.find(": ");
        entry[line.substr(0, colon)] = colon == std::string::npos ? "" : line.substr(colon + 2);
    }
    return entries;
}

std::vector<Record> StandinRecords::WaitFor(const std::wstring& program, size_t count,
                                            DWORD timeoutMs) const {
    DWORD start = GetTickCount();
    std::vector<Record> entries = Read(program);
    while (entries.size() < count && GetTickCount() - start < timeoutMs) {
        Sleep(100);
        entries = Read(program);
    }
    return entries;
}

void StandinRecords::Clear() const {
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((folder_ / L"*.txt").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) {
        return;
    }
    do {
        DeleteFileW((folder_ / found.cFileName).c_str());
    } while (FindNextFileW(search, &found));
    FindClose(search);
}

// ---- the package ---------------------------------------------------------------------------------

ComponentPackage::ComponentPackage(const std::wstring& subfolder, const std::wstring& libraryDir,
                                   const std::vector<std::wstring>& programs, const std::wstring& helpFile)
    : path_(scratch_ / L"package"), subfolder_(subfolder) {
    CreateDirectoryW(path_.c_str(), nullptr);
    CreateDirectoryW((path_ + L"\\sc").c_str(), nullptr);
    CreateDirectoryW(component().c_str(), nullptr);
    for (const wchar_t* name : {L"kestrafrm.dll", L"kestrares.dll", L"ovavprod.dll"}) {
        CopyInto(BinDir() + L"\\" + name, path_);
    }
    CopyInto(BinDir() + L"\\" + ThisProgramName(), path_);
    WriteFileBytes(path_ + L"\\license.txt", "licence");
    for (const wchar_t* name : kShellFiles) {
        WriteFileBytes(path_ + L"\\sc\\" + name, "shell file");
    }
    CopyInto(BinDir() + L"\\" + libraryDir + L"\\ovavprod.dll", component());
    for (const std::wstring& program : programs) {
        CopyInto(program, component());
    }
    WriteFileBytes(component() + L"\\" + helpFile, "help");
}

void ComponentPackage::Plant(const std::wstring& source, const std::wstring& name) const {
    if (!CopyFileW(source.c_str(), (path_ + L"\\" + name).c_str(), FALSE)) {
        ADD_FAILURE() << "cannot plant " << Narrow(name);
    }
}

int ComponentPackage::RunChild(const std::wstring& filter, const std::wstring& step) const {
    SetEnvironmentVariableW(L"OV_PACKAGE_STEP", step.c_str());
    int code = RunProcess(L"\"" + path_ + L"\\" + ThisProgramName() + L"\" --gtest_filter=" + filter, 180000);
    SetEnvironmentVariableW(L"OV_PACKAGE_STEP", nullptr);
    return code;
}

std::string ComponentPackage::ChildLog() const {
    return ReadFileBytes(path_ + L"\\install.log");
}

std::wstring PackageStep() {
    wchar_t step[64] = {};
    GetEnvironmentVariableW(L"OV_PACKAGE_STEP", step, 64);
    return step;
}

// ---- the install sequence ------------------------------------------------------------------------

void StoreStepResult(const std::wstring& name, DWORD value) {
    SetRegDword(HKEY_LOCAL_MACHINE, kResultsKey, name, value);
}

int StepResult(const std::wstring& name) {
    DWORD value = RegDword(kResultsKey, name.c_str());
    return value == 0xFFFFFFFF ? -1 : static_cast<int>(value);
}

void ClearStepResults() {
    RegDeleteKeyTree(HKEY_LOCAL_MACHINE, kResultsKey);
}

void DriveInstall(const std::wstring& destination, const std::wstring& group,
                  const std::function<void()>& afterBeginInstall) {
    CoInitialize(nullptr);
    ProcessListFromSnapshot processes;
    Logger& log = Logger::Get();
    log.SetDisplayLevel(0);
    log.SetLogLevel(4);
    log.Open((BinDir() + L"\\install.log").c_str(), true);
    SetupOptions& options = SetupOptions::Get();
    options.SetDestination(destination.c_str());
    options.SetGroup(group.c_str());
    SetupInstall* role = static_cast<SetupInstall*>(Setup::Create(kRoleInstall));
    role->BuildProductList();
    StoreStepResult(L"SelectProducts", static_cast<DWORD>(role->SelectProducts(true)));
    ProductMain& shell = ProductMain::Get();
    StoreStepResult(L"ShellNeeded", static_cast<DWORD>(shell.shellNeeded));

    wchar_t text[kMessageChars];
    int failed = shell.CheckAll(text, kMessageChars);
    for (int i = 0; i < role->products.count() && failed == 0; ++i) {
        Product* product = role->products[i];
        if (product->active) {
            failed = product->CheckAll(text, kMessageChars);
            StoreStepResult(L"CheckAll", static_cast<DWORD>(failed));
        }
    }
    if (failed == 0) {
        int code = shell.BeginInstall(text, kMessageChars);
        StoreStepResult(L"ShellBeginInstall", static_cast<DWORD>(code));
        if (code == 0) {
            StoreStepResult(L"ShellInstall", static_cast<DWORD>(shell.Install()));
        }
        for (int i = 0; i < role->products.count(); ++i) {
            Product* product = role->products[i];
            if (!product->active) {
                continue;
            }
            code = product->BeginInstall(text, kMessageChars);
            StoreStepResult(L"BeginInstall", static_cast<DWORD>(code));
            if (afterBeginInstall) {
                afterBeginInstall();
            }
            if (code == 0) {
                code = product->Install();
                StoreStepResult(L"Install", static_cast<DWORD>(code));
            }
            if (code == 0) {
                StoreStepResult(L"FinishInstall", static_cast<DWORD>(product->FinishInstall()));
            }
        }
        StoreStepResult(L"ShellFinishInstall", static_cast<DWORD>(shell.FinishInstall()));
    }
    DeleteProducts(&role->products);
    Setup::Destroy();
    CoUninitialize();
}

// ---- process lookups -----------------------------------------------------------------------------

ProcessListFromSnapshot::ProcessListFromSnapshot() {
    static const PerfDataSource source = {&SnapshotQuery, &SnapshotCounterIndex, &NotCitrix};
    SetPerfDataSource(&source);
}

ProcessListFromSnapshot::~ProcessListFromSnapshot() {
    SetPerfDataSource(nullptr);
}

// ---- registry and folders ------------------------------------------------------------------------

LockedKey::LockedKey(HKEY root, const std::wstring& key) {
    RegCreateKeyExW(root, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key_, nullptr);
    ACL acl;
    InitializeAcl(&acl, sizeof(acl), ACL_REVISION);
    ok_ = SetDacl(&acl);
}

LockedKey::~LockedKey() {
    SetDacl(nullptr);
    RegCloseKey(key_);
}

bool LockedKey::SetDacl(ACL* acl) {
    SECURITY_DESCRIPTOR sd;
    InitializeSecurityDescriptor(&sd, SECURITY_DESCRIPTOR_REVISION);
    SetSecurityDescriptorDacl(&sd, TRUE, acl, FALSE);
    return key_ != nullptr && RegSetKeySecurity(key_, DACL_SECURITY_INFORMATION, &sd) == ERROR_SUCCESS;
}

bool KeyExists(const std::wstring& key) {
    HKEY handle = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS) {
        return false;
    }
    RegCloseKey(handle);
    return true;
}

std::wstring RegText(const std::wstring& key, const wchar_t* name) {
    std::wstring value;
    return GetRegString(HKEY_LOCAL_MACHINE, key, name, &value) ? value : L"<none>";
}

DWORD RegDword(const std::wstring& key, const wchar_t* name) {
    DWORD value = 0xFFFFFFFF, size = sizeof(value), type = 0;
    HKEY handle = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_QUERY_VALUE, &handle) != ERROR_SUCCESS) {
        return 0xFFFFFFFF;
    }
    LONG rc = RegQueryValueExW(handle, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size);
    RegCloseKey(handle);
    return rc == ERROR_SUCCESS && type == REG_DWORD ? value : 0xFFFFFFFF;
}

std::wstring CommonProgramsFolder() {
    wchar_t stored[MAX_PATH];
    wchar_t expanded[MAX_PATH];
    if (!GetStartProgramsDir(stored, MAX_PATH, true) || !ExpandEnvironmentPath(expanded, MAX_PATH, stored)) {
        return L"";
    }
    return expanded;
}

std::wstring ShellFolder(int csidl) {
    wchar_t folder[MAX_PATH] = {};
    SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, folder);
    return folder;
}

std::wstring ShortcutCommand(const std::wstring& link) {
    IShellLinkW* shellLink = nullptr;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                reinterpret_cast<void**>(&shellLink)))) {
        return L"<missing>";
    }
    std::wstring command = L"<missing>";
    IPersistFile* file = nullptr;
    if (SUCCEEDED(shellLink->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
        wchar_t target[MAX_PATH] = {};
        wchar_t arguments[MAX_PATH] = {};
        if (SUCCEEDED(file->Load(link.c_str(), STGM_READ)) &&
            SUCCEEDED(shellLink->GetPath(target, MAX_PATH, nullptr, 0)) &&
            SUCCEEDED(shellLink->GetArguments(arguments, MAX_PATH))) {
            command = std::wstring(target) + L" " + arguments;
        }
        file->Release();
    }
    shellLink->Release();
    return command;
}

}  // namespace ovtest
