#pragma once
// The policies an administrator sets for a whole fleet, under Software\Policies\Quenmoor\VeloraPDF
// of the machine (and, for the options a person chooses, of the user). One table lists them: the
// installer reads and applies it, and the administrative templates are generated from it, so
// that the two cannot drift apart. Pure; policies_win.cpp reads the registry.
#include <stdint.h>

#include "base/install_choices.h"
#include "base/str.h"

constexpr const char* kPolicyKey = "Software\\Policies\\Quenmoor\\VeloraPDF";

enum class Policy : uint8_t {
    InstallStatistics,
    DesktopShortcut,
    SearchFilter,
    PreviewHandler,
    OfficePlugin,
    AllUsers,
};
constexpr int kPolicyCount = 6;

// Machine: read from HKEY_LOCAL_MACHINE only. Both: the user's root too, where the machine's
// value, when set, wins.
enum class PolicyClass : uint8_t { Machine, Both };

struct PolicyDef {
    Policy policy;
    // A REG_DWORD under kPolicyKey: 1 enabled, 0 disabled. A choice's policy has the name the
    // choice table (base/choice_table.h) gives it.
    const char* valueName;
    PolicyClass cls;
    // The option the policy forces to its value; Choice::None for the statistics.
    Choice forces;
    // AllUsers can only force the choice on: disabled leaves it to the person installing.
    bool disabledForces;
    const char* displayName;  // English, translated for the templates
    const char* explainText;
    // The first version of the installer that honours the policy: the templates' "supported
    // on", so that a policy added later is not shown as working with older installers.
    const char* since;
};

extern const PolicyDef kPolicies[kPolicyCount];

// The administrative templates' own texts: what the files are, and the "supported on" line
// of a version ("%s" stands for a `since` of the table).
extern const char* const kPolicyTemplatesDescription;
extern const char* const kPolicySupportedOnText;
const PolicyDef& PolicyDefOf(Policy p);

enum class PolicySource : uint8_t { None, Machine, User };

// What one root holds for one policy, as read.
struct PolicyReading {
    bool present = false;  // a REG_DWORD of that name exists
    uint32_t value = 0;
};

// The policies in effect: for each, where its value came from (None: not set) and the value.
struct Policies {
    PolicySource source[kPolicyCount] = {};
    bool enabled[kPolicyCount] = {};

    bool IsSet(Policy p) const { return source[(int)p] != PolicySource::None; }
    bool IsEnabled(Policy p) const { return enabled[(int)p]; }
};

// Machine values win over the user's; the user's count only for PolicyClass::Both. A value other
// than 0 or 1 is not a policy anyone set on purpose and is ignored (logged).
Policies SettlePolicies(const PolicyReading (&machine)[kPolicyCount], const PolicyReading (&user)[kPolicyCount]);

// One line per policy in effect, or one saying none is.
void LogPolicies(const Policies& policies);

// Whether the statistics report may be sent (and its library unpacked).
bool StatisticsAllowed(const Policies& policies);

// The choices the policies lock, and the options forced to their values whatever the command
// line or the earlier installation said.
ChoiceSet LockedChoices(const Policies& policies);
void ApplyPolicies(const Policies& policies, InstallChoices* choices);

#ifdef _WIN32
// Reads both roots once; the run keeps what it read.
Policies ReadPolicies();
#endif
