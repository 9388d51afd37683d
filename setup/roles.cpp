// What the roles share beyond the base class.
#include "setup/roles.h"

#include "log/logger.h"
#include "ui/framework.h"

int LoadRoleFramework() {
    int code = Framework::Get().Load();
    if (code != 0) {
        Logger::Get().Value(25006, static_cast<unsigned>(code), nullptr);
    }
    return code;
}
