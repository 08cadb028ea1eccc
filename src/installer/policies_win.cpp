#include <windows.h>

#include "installer/policies.h"
#include "integration/registry.h"

namespace {
void ReadRoot(HKEY root, PolicyReading (&out)[kPolicyCount]) {
    for (const PolicyDef& def : kPolicies) {
        PolicyReading& r = out[(int)def.policy];
        r.present = ReadRegDWORD(root, kPolicyKey, def.valueName, &r.value);
    }
}
}  // namespace

Policies ReadPolicies() {
    PolicyReading machine[kPolicyCount];
    PolicyReading user[kPolicyCount];
    ReadRoot(HKEY_LOCAL_MACHINE, machine);
    ReadRoot(HKEY_CURRENT_USER, user);
    return SettlePolicies(machine, user);
}
