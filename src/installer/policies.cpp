#include "installer/policies.h"

#include "base/choice_table.h"
#include "base/log.h"
#include "i18n/translations.h"

namespace {
// A policy that locks one of the choices, under the name the choice table gives it.
constexpr PolicyDef Locks(Policy policy, Choice choice, PolicyClass cls, bool disabledForces, const char* displayName,
                          const char* explainText, const char* since) {
    return {policy, ChoiceDefOf(choice).policy, cls, choice, disabledForces, displayName, explainText, since};
}
}  // namespace

// The texts are those of the administrative templates; the window shows none of them.
constexpr PolicyDef kPolicies[kPolicyCount] = {
    {Policy::InstallStatistics, "InstallStatistics", PolicyClass::Machine, Choice::None, false,
     TranslatableText("Send installation statistics"),
     TranslatableText("Enabled or not configured: each installation sends one report with the installer's "
                      "name, the Windows version and an identifier of the machine.\n\nDisabled: no report "
                      "is sent, and the library that computes the identifier is not even unpacked."),
     "3.7"},
    Locks(Policy::DesktopShortcut, Choice::DesktopShortcut, PolicyClass::Both, true,
          TranslatableText("Create a desktop shortcut"),
          TranslatableText("Enabled: every installation creates the VeloraPDF shortcut on the desktop. Disabled: "
                           "none does.\n\nNot configured: the person installing chooses. The option is shown "
                           "locked in the installer window while this policy is set."),
          "3.7"),
    Locks(Policy::SearchFilter, Choice::SearchFilter, PolicyClass::Both, true,
          TranslatableText("Let Windows Search index PDF documents"),
          TranslatableText("Enabled: every installation registers the search filter, so that Windows Search "
                           "finds the text of PDF documents. Disabled: none does.\n\nNot configured: the "
                           "person installing chooses."),
          "3.7"),
    Locks(Policy::PreviewHandler, Choice::Previewer, PolicyClass::Both, true,
          TranslatableText("Show previews of PDF documents in Explorer"),
          TranslatableText("Enabled: every installation registers the preview handler and thumbnails for PDF "
                           "documents. Disabled: none does.\n\nNot configured: the person installing chooses."),
          "3.7"),
    Locks(Policy::OfficePlugin, Choice::OfficeAddin, PolicyClass::Both, true,
          TranslatableText("Install the Office add-in"),
          TranslatableText("Enabled: every installation installs the add-in for Word, Excel and PowerPoint. "
                           "Disabled: none does.\n\nNot configured: the person installing chooses."),
          "3.7"),
    Locks(Policy::AllUsers, Choice::AllUsers, PolicyClass::Machine, false, TranslatableText("Install for all users"),
          TranslatableText("Enabled: every installation is for all users of the computer, in Program Files, "
                           "and needs administrator rights.\n\nDisabled or not configured: the person "
                           "installing chooses."),
          "3.7"),
};

// PolicyDefOf and the settled Policies index the table by Policy; every choice the choice
// table gives a policy is locked by exactly one row, and every row has its name.
constexpr bool PoliciesHoldTogether() {
    for (int i = 0; i < kPolicyCount; i++) {
        if ((int)kPolicies[i].policy != i || !kPolicies[i].valueName) {
            return false;
        }
    }
    for (const ChoiceDef& def : kChoiceDefs) {
        int rows = 0;
        for (const PolicyDef& p : kPolicies) rows += p.forces == def.choice;
        if (rows != (def.policy ? 1 : 0)) {
            return false;
        }
    }
    return true;
}
static_assert(PoliciesHoldTogether());

const char* const kPolicyTemplatesDescription = TranslatableText("Policies for installing VeloraPDF");
const char* const kPolicySupportedOnText = TranslatableText("VeloraPDF %s and later");

const PolicyDef& PolicyDefOf(Policy p) {
    return kPolicies[(int)p];
}

namespace {
const char* SourceName(PolicySource s) {
    return s == PolicySource::Machine ? "machine" : "user";
}

// A value of either root that counts; logs the ones that are set but mean nothing.
bool Counts(const PolicyDef& def, const PolicyReading& r, PolicySource source) {
    if (!r.present) {
        return false;
    }
    if (r.value > 1) {
        Logf("Policies: %s = %u (%s) ignored: not 0 or 1\n", def.valueName, (unsigned)r.value, SourceName(source));
        return false;
    }
    return true;
}
}  // namespace

Policies SettlePolicies(const PolicyReading (&machine)[kPolicyCount], const PolicyReading (&user)[kPolicyCount]) {
    Policies out;
    for (const PolicyDef& def : kPolicies) {
        int i = (int)def.policy;
        if (Counts(def, machine[i], PolicySource::Machine)) {
            out.source[i] = PolicySource::Machine;
            out.enabled[i] = machine[i].value == 1;
        } else if (def.cls == PolicyClass::Both && Counts(def, user[i], PolicySource::User)) {
            out.source[i] = PolicySource::User;
            out.enabled[i] = user[i].value == 1;
        }
    }
    return out;
}

void LogPolicies(const Policies& policies) {
    bool any = false;
    for (const PolicyDef& def : kPolicies) {
        int i = (int)def.policy;
        if (policies.source[i] == PolicySource::None) {
            continue;
        }
        any = true;
        Logf("Policies: %s = %d (%s)\n", def.valueName, (int)policies.enabled[i], SourceName(policies.source[i]));
    }
    if (!any) {
        Log("Policies: none set\n");
    }
}

bool StatisticsAllowed(const Policies& policies) {
    return !policies.IsSet(Policy::InstallStatistics) || policies.IsEnabled(Policy::InstallStatistics);
}

namespace {
// Whether the policy, as set, decides its option.
bool Forces(const Policies& policies, const PolicyDef& def) {
    if (def.forces == Choice::None || !policies.IsSet(def.policy)) {
        return false;
    }
    return policies.IsEnabled(def.policy) || def.disabledForces;
}
}  // namespace

ChoiceSet LockedChoices(const Policies& policies) {
    ChoiceSet locked;
    for (const PolicyDef& def : kPolicies) {
        if (Forces(policies, def)) {
            locked.Add(def.forces);
        }
    }
    return locked;
}

void ApplyPolicies(const Policies& policies, InstallChoices* choices) {
    for (const PolicyDef& def : kPolicies) {
        if (Forces(policies, def)) {
            choices->Set(def.forces, policies.IsEnabled(def.policy));
        }
    }
}
