// The watcher that answers the firewall engine's confirmation dialogs, against the engine's setup
// stand-in showing a run of them.
#include <gtest/gtest.h>

#include <string>

#include "components/setup_dialog_watcher.h"
#include "records.h"
#include "support/test_support.h"

namespace {

const wchar_t* const kTitles[] = {
    L"ZoneAlarm Setup",        L"ZoneAlarm Uninstall",        L"TrueVector Service",
    L"Zone Labs Client Setup", L"Zone Labs Client Uninstall", L"ZoneAlarm Upgrade",
    L"ZoneAlarm Installation"};

TEST(Watcher, AnswersEachDialogYesUntilTheEngineEnds) {
    ASSERT_TRUE(ovtest::IsIsolated()) << "the engine's setup installs into the system folder";
    avfw::RecordFolder records;
    avfw::Switches switches;
    // The last title of the search first: after an answer the search starts again from the first.
    switches.Set(L"zapsetup", L"Dialogs", L"24015, 24009, 24011, 24013, 24012");
    switches.Set(L"zapsetup", L"DialogTimeout", 30000);  // a dialog left unanswered fails, not hangs
    ovtest::ScratchDir scratch;
    const std::wstring config = scratch / L"fwconfig.txt";
    ovtest::WriteFileBytes(config, "OEM_APPTITLE=Tarnel Personal Firewall\r\nOEM_MAINDIR=" +
                                       ovtest::Narrow(scratch / L"Firewall") + "\r\n");
    const std::wstring setup = ovtest::BinDir() + L"\\standins\\firewall\\zapsetup.exe";

    SetupDialogWatcher watcher;
    watcher.Start();
    watcher.Start();  // once running, a second start changes nothing
    EXPECT_TRUE(watcher.IsRunning());
    EXPECT_EQ(0, ovtest::RunProcess(L"\"" + setup + L"\" /s /M=\"" + config + L"\" /NOREBOOT"));
    DWORD joinStart = GetTickCount();
    watcher.Join();
    EXPECT_LT(GetTickCount() - joinStart, 1000u) << "the watcher ends within one title's search";
    EXPECT_FALSE(watcher.IsRunning());
    EXPECT_EQ(0, watcher.running);

    auto entries = records.Read(L"zapsetup");
    ASSERT_EQ(1u, entries.size());
    EXPECT_EQ(
        "ZoneAlarm Installation: yes, ZoneAlarm Setup: yes, TrueVector Service: yes, Zone Labs Client "
        "Uninstall: yes, Zone Labs Client Setup: yes",
        avfw::ValueOf(entries[0], "dialogs"));
    EXPECT_EQ("installed", avfw::ValueOf(entries[0], "result"));
    for (const wchar_t* title : kTitles)
        EXPECT_EQ(nullptr, FindWindowW(L"#32770", title)) << ovtest::Narrow(title);
}

TEST(Watcher, WithoutDialogsItEndsAtOnce) {
    SetupDialogWatcher watcher;
    watcher.Start();
    Sleep(300);
    DWORD joinStart = GetTickCount();
    watcher.Join();
    EXPECT_LT(GetTickCount() - joinStart, 1000u);
    EXPECT_FALSE(watcher.IsRunning());
}

}  // namespace
