// Names and codes that belong to the anti-spam and anti-spyware products themselves: their
// GUIDs, the keys their installers write, the marker file and web pages. They are fixed by those
// products, not by the suite; each is written down here once.
#pragma once

// ---- anti-spam product ------------------------------------------------------------------------

// Both editions of the product register under "Zember {product GUID}".
#define OV_AS_PRODUCT_GUID L"{E2ACAF5A-567F-46A8-AEC5-4AAD2635A2E0}"
#define OV_AS_ENTRY_NAME L"Zember " OV_AS_PRODUCT_GUID
#define OV_AS_KEY L"SOFTWARE\\Zember"
// The Outlook add-in's COM class and ProgID.
#define OV_AS_ADDIN_CLASS_GUID L"{40B4BAFE-8D90-4F0D-9E15-4BF3AA27FE5D}"
#define OV_AS_ADDIN_PROGID L"Zember.ZAddIn"
// Only the suite's own edition puts this file beside the updater in its release folder.
#define OV_AS_SUITE_MARKER L"SuiteEdition.dat"
// The product's web pages ("home", "help"): each "%s" takes the page's name.
#define OV_AS_PAGE_ADDRESS L"http://antispam.tarnel.example/%s?GUID=" OV_AS_PRODUCT_GUID L"&RT=%s&BRAND=OV"

// ---- anti-spyware product (a Windows Installer package) -----------------------------------------

// Product codes: B the current product, A its earlier generation.
#define OV_PM_CODE_A L"{E713AA8A-BAB4-48FA-8D7C-4606390BC970}"
#define OV_PM_CODE_B L"{F860A729-9BFF-416D-A1D7-C37CB6BF74FE}"
// The product's two COM classes and two interfaces.
#define OV_PM_CONTROL_CLASS_GUID L"{DADF3DFA-3D90-4F0C-84F9-C9A3ABA5F6A1}"
#define OV_PM_APPLICATION_CLASS_GUID L"{8F84B994-5590-417E-A0D1-2C198FE60BF9}"
#define OV_PM_CONTROL_INTERFACE_GUID L"{C011061E-4900-4BED-903D-AEE112D563C3}"
#define OV_PM_APPLICATION_INTERFACE_GUID L"{E30F9D9B-C51A-4DC7-80DF-66BBD31FDB67}"
// Uninstall entries of two earlier editions that must go first: one from Windows Installer, one
// from an InstallShield setup.
#define OV_PM_OLD_MSI_ENTRY L"{7DF9622E-EF0B-48B8-8DDD-C0CC66CB1187}"
#define OV_PM_OLD_INSTALLSHIELD_ENTRY L"InstallShield_{FF52DEFC-B5E7-4A8B-AFA8-F170F5A4B736}"
#define OV_PM_KEY L"SOFTWARE\\Orvane\\TarnelPellmar"
