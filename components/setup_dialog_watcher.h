// Answers the firewall engine's confirmation dialogs while its setup or uninstaller runs: the
// engine asks even when told to be silent, and nobody is there to answer. A thread looks for a
// standard dialog ("#32770") titled with one of the engine's texts (strings 24009 to 24015) and
// presses its "Yes" button. It touches other processes' windows only through FindWindow and
// SendMessage.
#pragma once
#include "host/thread_object.h"

class SetupDialogWatcher : public ThreadObject {
  public:
    SetupDialogWatcher() = default;
    // Joins first: the thread ends only once `running` is clear.
    ~SetupDialogWatcher() override { Join(); }

    // Starts the thread unless it runs already.
    void Start();
    // Lets the thread end after the title it is looking for (answering a dialog it just found) and
    // waits for it without a time limit.
    void Join();
    // Looks for each title in turn, about 150 ms each; a dialog found is answered and the search
    // begins again with the first title.
    void Run() override;

    // Set by Start, cleared by Join, read by the thread after each title; no lock.
    volatile int running = 0;
};
