// Stopping the suite's and the antivirus programs on a machine of their own: the stand-ins
// (standins/avprograms) run from installed files folders below "C:\ov test", next to a decoy
// "C:\ov.exe" that a stop command without quotes would start in their place.
#include <gtest/gtest.h>
#include <shlwapi.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "host/system.h"
#include "process/shutdown.h"
#include "setup/errors.h"
#include "support/log_capture.h"
#include "support/test_support.h"

using ovtest::BinDir;
using ovtest::Narrow;

namespace {

const wchar_t kTestRoot[] = L"C:\\ov test";
const wchar_t kAvFolder[] = L"C:\\ov test\\av";
const wchar_t kSuiteFolder[] = L"C:\\ov test\\suite";
const wchar_t kDecoy[] = L"C:\\ov.exe";
const wchar_t kRecordFolder[] = L"C:\\ovstandins";
const wchar_t kRunKey[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
const wchar_t kSwitchRoot[] = L"SOFTWARE\\OvStandins";

const wchar_t* const kAvPrograms[] = {L"WexaMsg", L"Wardel",   L"SanavoScanner", L"WexaTray", L"ovavtray",
                                      L"OVAVRid", L"SigFetch", L"ovav",          L"wexa32"};
const wchar_t* const kSuitePrograms[] = {L"ovkestra", L"ovkestradt"};
const wchar_t* const kRunValues[] = {L"Wexa Start Up", L"WexaTray", L"ovaavtray", L"OVAVRid"};

std::wstring StandinDir() {
    return BinDir() + L"\\standins\\avprograms";
}

std::wstring Lower(std::wstring text) {
    for (auto& c : text)
        c = static_cast<wchar_t>(towlower(c));
    return text;
}

DWORD Since(DWORD start) {
    return GetTickCount() - start;
}

bool MutexExists(const wchar_t* name) {
    HANDLE mutex = OpenMutexW(SYNCHRONIZE, FALSE, name);
    if (mutex == nullptr)
        return false;
    CloseHandle(mutex);
    return true;
}

// One record entry of a stand-in: its "key: value" lines.
using Entry = std::map<std::string, std::string>;

std::vector<Entry> Entries(const std::wstring& program) {
    std::string text = ovtest::ReadFileBytes(std::wstring(kRecordFolder) + L"\\" + program + L".txt");
    std::vector<Entry> entries;
    Entry entry;
    size_t at = 0;
    while (at < text.size()) {
        size_t end = text.find("\r\n", at);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(at, end - at);
        at = end + 2;
        if (line.empty()) {
            entries.push_back(entry);
            entry.clear();
            continue;
        }
        size_t colon = line.find(": ");
        if (colon != std::string::npos)
            entry[line.substr(0, colon)] = line.substr(colon + 2);
    }
    return entries;
}

// The requests a program's instances got, in order: "<request>" or "<request> <window title>".
std::vector<std::string> Requests(const std::wstring& program) {
    std::vector<std::string> requests;
    for (auto& e : Entries(program)) {
        if (e.count("request"))
            requests.push_back(e["request"] + (e["window"].empty() ? "" : " " + e["window"]));
    }
    return requests;
}

// The first request that reached `window` ("" for the stop switch), or "" when none did.
std::string FirstRequest(const std::wstring& program, const std::string& window) {
    for (auto& e : Entries(program)) {
        if (e.count("request") && e["window"] == window)
            return e["request"];
    }
    return "";
}

std::string Joined(const std::vector<std::string>& items) {
    std::string text;
    for (const auto& item : items)
        text += "[" + item + "] ";
    return text;
}

bool HasEntry(const std::wstring& program, const std::string& key, const std::string& value) {
    for (auto& e : Entries(program)) {
        if (e.count(key) && e[key] == value)
            return true;
    }
    return false;
}

// A machine with the antivirus and suite programs installed, none running, no Run values.
class Machine : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(ovtest::IsIsolated()) << "changes HKLM and C:\\: needs a machine of its own";
        CreateDirectoryW(kTestRoot, nullptr);
        CreateDirectoryW(kAvFolder, nullptr);
        CreateDirectoryW(kSuiteFolder, nullptr);
        for (auto name : kAvPrograms)
            Install(kAvFolder, name);
        for (auto name : kSuitePrograms)
            Install(kSuiteFolder, name);
        ASSERT_TRUE(CopyFileW((StandinDir() + L"\\avprogram.exe").c_str(), kDecoy, FALSE));
        DeleteFileW((std::wstring(kAvFolder) + L"\\ovavprod.dll").c_str());
        ClearRecords();
    }

    void TearDown() override {
        for (HANDLE process : started_) {
            if (WaitForSingleObject(process, 0) == WAIT_TIMEOUT) {
                TerminateProcess(process, 99);
                WaitForSingleObject(process, 5000);
            }
            CloseHandle(process);
        }
        HKEY run = nullptr;
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kRunKey, 0, KEY_SET_VALUE, &run) == ERROR_SUCCESS) {
            for (auto name : kRunValues)
                RegDeleteValueW(run, name);
            RegCloseKey(run);
        }
        SHDeleteKeyW(HKEY_LOCAL_MACHINE, kSwitchRoot);
    }

    static void Install(const wchar_t* folder, const std::wstring& name) {
        std::wstring from = StandinDir() + L"\\" + name + L".exe";
        std::wstring to = std::wstring(folder) + L"\\" + name + L".exe";
        ASSERT_TRUE(CopyFileW(from.c_str(), to.c_str(), FALSE)) << Narrow(to);
    }

    static void ClearRecords() {
        WIN32_FIND_DATAW found;
        std::wstring pattern = std::wstring(kRecordFolder) + L"\\*.txt";
        HANDLE find = FindFirstFileW(pattern.c_str(), &found);
        if (find == INVALID_HANDLE_VALUE)
            return;
        do {
            DeleteFileW((std::wstring(kRecordFolder) + L"\\" + found.cFileName).c_str());
        } while (FindNextFileW(find, &found));
        FindClose(find);
    }

    // Starts an installed program with `args`; with `waitReady`, returns once its mutex and
    // windows exist.
    HANDLE Start(const wchar_t* folder, const std::wstring& name, const std::wstring& args = L"",
                 bool waitReady = true) {
        std::wstring command = L"\"" + std::wstring(folder) + L"\\" + name + L".exe\" " + args;
        STARTUPINFOW startup = {};
        startup.cb = sizeof(startup);
        PROCESS_INFORMATION info = {};
        if (!CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                            &info)) {
            ADD_FAILURE() << "cannot start " << Narrow(command);
            return nullptr;
        }
        CloseHandle(info.hThread);
        started_.push_back(info.hProcess);
        if (waitReady && !WaitReady(name, info.dwProcessId))
            ADD_FAILURE() << Narrow(command) << " did not get ready";
        return info.hProcess;
    }

    static bool WaitReady(const std::wstring& name, DWORD processId) {
        std::wstring windowClass = L"OvAvStandin." + Lower(name);
        for (DWORD start = GetTickCount(); Since(start) < 10000; Sleep(20)) {
            for (HWND w = FindWindowExW(nullptr, nullptr, windowClass.c_str(), L"ready"); w != nullptr;
                 w = FindWindowExW(nullptr, w, windowClass.c_str(), L"ready")) {
                DWORD owner = 0;
                GetWindowThreadProcessId(w, &owner);
                if (owner == processId)
                    return true;
            }
        }
        return false;
    }

    static bool Ended(HANDLE process, DWORD graceMs = 2000) {
        return WaitForSingleObject(process, graceMs) == WAIT_OBJECT_0;
    }

    static void SetRunValue(const wchar_t* name, const std::wstring& value) {
        ovtest::SetRegString(HKEY_LOCAL_MACHINE, kRunKey, name, value);
    }

    static bool DecoyStarted() { return ovtest::PathExists(std::wstring(kRecordFolder) + L"\\ov.txt"); }

    ovtest::LogCapture log_;
    std::vector<HANDLE> started_;
};

using StopPrograms = Machine;

TEST_F(StopPrograms, CleanMachinePassesThroughWithoutWaiting) {
    // The first window search of a process sets up Wine's side of it: not the engine's time.
    FindWindowW(L"OvShutdownWarmUp", nullptr);
    // Nothing installed either: no program is started at all.
    DWORD start = GetTickCount();
    EXPECT_EQ(0, StopAntivirusPrograms(4, L"C:\\ov test\\nothing here"));
    EXPECT_LT(Since(start), 500u);

    // Installed but not running: only the unconditional stop commands run, each finding nothing.
    // Starting them is all the time it may take; that time grows with the machine's load, so it is
    // measured here too, the best of two tries each.
    DWORD startingThem = ~0u, elapsed = ~0u;
    for (int attempt = 0; attempt < 2; ++attempt) {
        start = GetTickCount();
        for (auto name : {L"WexaMsg", L"Wardel", L"SanavoScanner"})
            ovtest::RunProcess(L"\"" + std::wstring(kAvFolder) + L"\\" + name + L".exe\" -k");
        startingThem = std::min(startingThem, Since(start));
        ClearRecords();
        start = GetTickCount();
        EXPECT_EQ(0, StopAntivirusPrograms(4, kAvFolder));
        elapsed = std::min(elapsed, Since(start));
    }
    EXPECT_LT(elapsed, startingThem + 700) << "the stop commands alone took " << startingThem << " ms";
    for (auto name : {L"WexaMsg", L"Wardel", L"SanavoScanner"}) {
        EXPECT_TRUE(HasEntry(name, "stop", "-k")) << Narrow(name);
        EXPECT_TRUE(HasEntry(name, "told", "0")) << Narrow(name);
    }
    for (auto name : {L"WexaTray", L"ovavtray", L"OVAVRid", L"SigFetch"})
        EXPECT_TRUE(Entries(name).empty()) << Narrow(name) << " was started";
    EXPECT_FALSE(log_.HasReport(25526));
    EXPECT_FALSE(DecoyStarted());
    std::printf("clean machine with the programs installed: %lu ms (their stop commands: %lu ms)\n", elapsed,
                startingThem);
}

TEST_F(StopPrograms, EveryProgramGetsItsOwnRequest) {
    ASSERT_TRUE(CopyFileW((BinDir() + L"\\shutdown_fixture\\full\\ovavprod.dll").c_str(),
                          (std::wstring(kAvFolder) + L"\\ovavprod.dll").c_str(), FALSE));
    std::vector<HANDLE> processes = {
        Start(kAvFolder, L"WexaMsg"),
        Start(kAvFolder, L"Wardel"),
        Start(kAvFolder, L"SanavoScanner"),
        Start(kAvFolder, L"WexaTray", L"--dialog \"Tarnel Nimbo Antivirus Real-time Protection Status\""),
        Start(kAvFolder, L"OVAVRid"),
        Start(kAvFolder, L"SigFetch", L"--no-mutex --dialog \"AutoDownload Error\""),
        Start(kAvFolder, L"SigFetch", L"--dialog \"AutoDownload Connection Error\""),
        Start(kAvFolder, L"ovav", L"--dialog \"Tarnel Nimbo Antivirus Progress Meter\""),
        Start(kAvFolder, L"ovav", L"--window FIXTUREAVWND \"Fixture Antivirus\""),
        Start(kAvFolder, L"wexa32", L"--window Sanavo \"Tarnel Nimbo Antivirus\""),
    };

    EXPECT_EQ(0, StopAntivirusPrograms(4, kAvFolder));

    struct Expected {
        const wchar_t* program;
        const char* window;  // "" for the stop switch
        const char* firstRequest;
    } expected[] = {
        {L"WexaMsg", "", "switch"},
        {L"Wardel", "", "switch"},
        {L"SanavoScanner", "", "switch"},
        {L"WexaTray", "", "switch"},
        {L"OVAVRid", "", "switch"},
        {L"SigFetch", "AutoDownload Error", "WM_CLOSE"},
        {L"SigFetch", "", "switch"},
        {L"SigFetch", "AutoDownload Connection Error", "WM_CLOSE"},
        {L"ovav", "Tarnel Nimbo Antivirus Progress Meter", "1124"},
        // The installed product's window is only destroyed, the older ones asked first.
        {L"ovav", "Fixture Antivirus", "WM_DESTROY"},
        {L"wexa32", "Tarnel Nimbo Antivirus", "1124"},
    };
    for (const auto& e : expected) {
        EXPECT_EQ(e.firstRequest, FirstRequest(e.program, e.window))
            << Narrow(e.program) << " \"" << e.window << "\": " << Joined(Requests(e.program));
    }
    // The error dialog goes before the download program is told to end.
    std::vector<std::string> download = Requests(L"SigFetch");
    ASSERT_FALSE(download.empty());
    EXPECT_EQ("WM_CLOSE AutoDownload Error", download.front());
    for (size_t i = 0; i < processes.size(); ++i)
        EXPECT_TRUE(Ended(processes[i])) << "program " << i << " still runs";
    EXPECT_FALSE(log_.HasReport(25526)) << log_.Text();
    EXPECT_FALSE(DecoyStarted());
}

TEST_F(StopPrograms, WaitsForTheStartUpProgramsBeforeStopping) {
    SetRunValue(L"Wexa Start Up", L"\"C:\\ov test\\av\\ovav.exe\"");
    SetRunValue(L"WexaTray", L"\"C:\\ov test\\av\\WexaTray.exe\"");
    SetRunValue(L"OVAVRid", L"\"C:\\ov test\\av\\OVAVRid.exe\"");
    // Already up: a start-up dialog and the out-of-date warning. Still on their way: the main
    // window, then the tray, then the identification program.
    std::vector<HANDLE> processes = {
        Start(kAvFolder, L"ovav", L"--dialog \"Tarnel Nimbo Antivirus\""),
        Start(kAvFolder, L"ovav", L"--dialog \"Tarnel Nimbo Antivirus Out-of-date Warning\""),
        Start(kAvFolder, L"ovav", L"--after 2500 --window NIMBOAVAPP \"Tarnel Nimbo Antivirus\"", false),
        Start(kAvFolder, L"WexaTray", L"--after 5000", false),
        Start(kAvFolder, L"OVAVRid", L"--after 6000", false),
    };

    DWORD start = GetTickCount();
    EXPECT_EQ(0, StopAntivirusPrograms(4, kAvFolder));
    EXPECT_GE(Since(start), 5000u);

    std::vector<std::string> requests = Requests(L"ovav");
    EXPECT_EQ("1124", FirstRequest(L"ovav", "Tarnel Nimbo Antivirus")) << Joined(requests);
    EXPECT_EQ("WM_CLOSE", FirstRequest(L"ovav", "Tarnel Nimbo Antivirus Out-of-date Warning"))
        << Joined(requests);
    EXPECT_TRUE(HasEntry(L"WexaTray", "request", "switch")) << Joined(Requests(L"WexaTray"));
    EXPECT_TRUE(HasEntry(L"OVAVRid", "request", "switch")) << Joined(Requests(L"OVAVRid"));
    for (size_t i = 0; i < processes.size(); ++i)
        EXPECT_TRUE(Ended(processes[i])) << "program " << i << " still runs";
    EXPECT_FALSE(log_.HasReport(25526)) << log_.Text();
}

TEST_F(StopPrograms, UnknownProductLooksForUntitledDialogs) {
    HANDLE untitled = Start(kAvFolder, L"ovav", L"--dialog \"\"");
    HANDLE titled = Start(kAvFolder, L"wexa32", L"--dialog \"Wexa Progress Meter\"");
    EXPECT_EQ(0, StopAntivirusPrograms(9, kAvFolder));
    EXPECT_EQ("1124", FirstRequest(L"ovav", "")) << Joined(Requests(L"ovav"));
    EXPECT_TRUE(Ended(untitled));
    EXPECT_TRUE(Requests(L"wexa32").empty()) << Joined(Requests(L"wexa32"));
    EXPECT_FALSE(Ended(titled, 0));
}

TEST_F(StopPrograms, SuiteProgramsAreToldToEnd) {
    HANDLE program = Start(kSuiteFolder, L"ovkestra");
    HANDLE scheduler = Start(kSuiteFolder, L"ovkestradt");
    DWORD start = GetTickCount();
    EXPECT_EQ(0, StopSuitePrograms(kSuiteFolder));
    EXPECT_GE(Since(start), 1000u);
    EXPECT_EQ(std::vector<std::string>{"switch"}, Requests(L"ovkestra"));
    EXPECT_EQ(std::vector<std::string>{"switch"}, Requests(L"ovkestradt"));
    EXPECT_TRUE(Ended(program));
    EXPECT_TRUE(Ended(scheduler));
    EXPECT_EQ(2u, log_.Count("(25526)")) << log_.Text();
    EXPECT_TRUE(log_.Has("ovkestra.exe")) << log_.Text();
    EXPECT_TRUE(log_.Has("ovkestradt.exe")) << log_.Text();
    EXPECT_TRUE(log_.Has("9023")) << log_.Text();
    EXPECT_FALSE(DecoyStarted());

    // No folder: nothing is started, the reports are still written.
    EXPECT_EQ(0, StopSuitePrograms(L""));
    EXPECT_EQ(4u, log_.Count("(25526)"));
}

using OldestGeneration = Machine;

// Product id 0 is the oldest generation: its main window is named after the Windows it runs on,
// and on ME it may still carry the 98 names.
TEST_F(OldestGeneration, MainWindowsOfTheRunningWindowsAreClosed) {
    wchar_t shortName[16] = {};
    ASSERT_TRUE(GetWindowsShortName(shortName, 16));
    const std::wstring own = shortName;
    HANDLE ownWindow =
        Start(kAvFolder, L"wexa32", L"--window Wexa" + own + L" \"Wexa for Windows " + own + L"\"");
    HANDLE window98 = Start(kAvFolder, L"ovav", L"--window Wexa98 \"Wexa for Windows 98\"");

    EXPECT_EQ(0, StopAntivirusPrograms(0, kAvFolder));

    EXPECT_EQ("1124", FirstRequest(L"wexa32", "Wexa for Windows " + Narrow(own)));
    EXPECT_TRUE(Ended(ownWindow));
    bool also98 = own == L"ME" || own == L"98";
    EXPECT_EQ(also98, Ended(window98, also98 ? 2000 : 0)) << Narrow(own);
    EXPECT_EQ(also98 ? "1124" : "", FirstRequest(L"ovav", "Wexa for Windows 98")) << Narrow(own);
}

// The messenger runs as the service "WEXAMSGNT" here; only the NT family stops it.
class MessengerService : public Machine {
  protected:
    void SetUp() override {
        Machine::SetUp();
        manager_ = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
        ASSERT_NE(nullptr, manager_);
        std::wstring binary = L"\"" + std::wstring(kAvFolder) + L"\\WexaMsg.exe\" --service";
        service_ = CreateServiceW(manager_, L"WEXAMSGNT", L"Wexa Messenger", SERVICE_ALL_ACCESS,
                                  SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START, SERVICE_ERROR_IGNORE,
                                  binary.c_str(), nullptr, nullptr, nullptr, nullptr, nullptr);
        ASSERT_NE(nullptr, service_) << GetLastError();
        ASSERT_TRUE(StartServiceW(service_, 0, nullptr)) << GetLastError();
        DWORD start = GetTickCount();
        while (!MutexExists(L"Wexa Resident Protection App") && Since(start) < 10000)
            Sleep(20);
        ASSERT_TRUE(MutexExists(L"Wexa Resident Protection App"));
    }
    void TearDown() override {
        if (service_ != nullptr) {
            SERVICE_STATUS status = {};
            ControlService(service_, SERVICE_CONTROL_STOP, &status);
            for (DWORD start = GetTickCount(); State() != SERVICE_STOPPED && Since(start) < 5000;)
                Sleep(20);
            DeleteService(service_);
            CloseServiceHandle(service_);
        }
        if (manager_ != nullptr)
            CloseServiceHandle(manager_);
        Machine::TearDown();
    }
    DWORD State() {
        SERVICE_STATUS status = {};
        return QueryServiceStatus(service_, &status) ? status.dwCurrentState : 0;
    }

    SC_HANDLE manager_ = nullptr;
    SC_HANDLE service_ = nullptr;
};

TEST_F(MessengerService, StoppedOnTheNtFamilyOnly) {
    OSVERSIONINFOW version = {};
    version.dwOSVersionInfoSize = sizeof(version);
    ASSERT_TRUE(GetVersionExW(&version));
    bool nt = version.dwPlatformId == VER_PLATFORM_WIN32_NT;

    EXPECT_EQ(0, StopAntivirusPrograms(4, kAvFolder));

    EXPECT_TRUE(HasEntry(L"WexaMsg", "stop", "-k"));
    EXPECT_EQ(nt, HasEntry(L"WexaMsg", "service control", "stop")) << "NT family: " << nt;
    EXPECT_EQ(nt ? static_cast<DWORD>(SERVICE_STOPPED) : static_cast<DWORD>(SERVICE_RUNNING), State());
}

using LongWait = Machine;

TEST_F(LongWait, TrayIgnoringExitIsWaitedForTenSeconds) {
    ovtest::SetRegDword(HKEY_LOCAL_MACHINE, std::wstring(kSwitchRoot) + L"\\WexaTray", L"IgnoreExit", 1);
    HANDLE tray = Start(kAvFolder, L"WexaTray");
    DWORD start = GetTickCount();
    EXPECT_EQ(ErrorProgramStillRunning, StopAntivirusPrograms(4, kAvFolder));
    DWORD elapsed = Since(start);
    EXPECT_GE(elapsed, 10000u);
    // One bounded wait plus the start-up time of the five stop commands, which is seconds on a
    // loaded machine; waiting on the mutex and then polling as well would take over 20 s.
    EXPECT_LT(elapsed, 20000u);
    EXPECT_TRUE(HasEntry(L"WexaTray", "ignored", "yes"));
    EXPECT_FALSE(Ended(tray, 0));
    EXPECT_EQ(1u, log_.Count("(25526)")) << log_.Text();
    EXPECT_TRUE(log_.Has("ovavtray.exe")) << log_.Text();
    EXPECT_TRUE(log_.Has("9023")) << log_.Text();
    for (auto other : {"ovavrid.exe", "ovav.exe", "wexa32.exe", "sigfetch.exe"})
        EXPECT_FALSE(log_.Has(other)) << other;
    std::printf("tray ignoring its exit switch: %lu ms\n", elapsed);
}

TEST_F(LongWait, StartupProgramsThatNeverComeAreWaitedForBounded) {
    for (auto name : {L"Wexa Start Up", L"WexaTray", L"OVAVRid"})
        SetRunValue(name, L"\"C:\\ov test\\av\\never.exe\"");
    // Six rounds without a window leave the tray two attempts; two misses leave eight for the
    // identification program: 5 + 1 + 7 seconds of pauses.
    DWORD start = GetTickCount();
    EXPECT_EQ(0, StopAntivirusPrograms(4, L""));
    DWORD elapsed = Since(start);
    EXPECT_GE(elapsed, 12900u);
    EXPECT_LT(elapsed, 15000u);
    std::printf("start-up wait for programs that never come: %lu ms\n", elapsed);
}

}  // namespace
