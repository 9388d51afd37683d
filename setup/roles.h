// The four roles a run can play.
#pragma once
#include "setup/setup.h"

// Installs the suite or one component from the package the program sits in.
class SetupInstall : public Setup {
  public:
    int Initialize() override;
    int AskUser() override;
    int Execute() override;
    int Finish() override;
    void BuildProductList() override;
    // Marks the available products active (all, or only the accepted ones) and decides
    // whether the suite shell takes part. 0, or 9005 when nothing was selected.
    int SelectProducts(bool all);

    HRESULT comResult = E_FAIL;
    int availableCount = 0;
};

// Removes what is installed of the suite.
class SetupUninstall : public Setup {
  public:
    int Initialize() override;
    int AskUser() override;
    int Execute() override;
    int Finish() override;
    void BuildProductList() override;

    int installedCount = 0;
};

// Removes, at the next logon, what an uninstall could not.
class SetupCleanup : public Setup {
  public:
    int Initialize() override;
    int AskUser() override { return result; }
    int Execute() override;
    int Finish() override;
    void BuildProductList() override;
};

// Adds the suite's programs to the firewall's trusted list.
class SetupTrustList : public Setup {
  public:
    int Initialize() override;
    int AskUser() override { return result; }
    int Execute() override;
    int Finish() override;
    void BuildProductList() override;
};

// Loads the framework for a role's run; its failure code, logged as 25006 (0 when ready).
int LoadRoleFramework();

// The suite shell's checks, after the role's own first failure `code` (0: none): the first failure
// of either is reported as an error with the shell's name (and the shell's text when it is the
// shell's).
void CheckShell(Setup& role, int code);
// CheckAll of each active product of the role, until the run has a result: a product that passes is
// accepted and counted in selectedCount; a failure is an error when `count` (the products that
// could be chosen) is 1, else a warning. Of several, none accepted is the error `noneAccepted`.
void CheckActiveProducts(Setup& role, int count, int noneAccepted);

// Deletes the role's products in list order (all but the suite shell) and forgets them.
void DeleteProducts(ProductList* products);
