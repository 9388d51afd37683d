// Resource ids of the firewall engine's programs (firewall.rc.in).
#pragma once

#define IDD_QUESTION 100       // the confirmation dialog; its title is set when it opens
#define IDC_QUESTION_TEXT 101  // its question

// Strings 24009 to 24015 are the dialogs' titles, the same ids plus this offset their questions.
#define IDS_QUESTION_OFFSET 100

#define IDR_TRUST_LIBRARY 200  // RCDATA: the trust-list library the setup installs
