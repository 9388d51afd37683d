// The five installable components, in the order every role processes them: anti-spyware,
// anti-spam, antivirus, firewall, unified firewall.
#pragma once
#include "components/product_as.h"
#include "components/product_av.h"
#include "components/product_fw.h"
#include "components/product_pm.h"
