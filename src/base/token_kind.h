#pragma once
// What the rights a run holds mean for where it may install, and for the files it writes in
// the temporary folder to load or run later. A pure decision: the one query of the token
// stays in CurrentTokenKind (process_win.h).

enum class TokenKind {
    Limited,      // a user's normal rights
    Elevated,     // an administrator's full token, or a user's elevated through the prompt
    LocalSystem,  // deployment tools start installers as the system itself
};

struct PrivilegeRules {
    // A per-user installation by the system lands in its own profile, where no person can
    // use it: the system installs and uninstalls for all users.
    bool forcesAllUsers = false;
    // Files it will load or run again come from a folder made new for the run, which only
    // the system, administrators and the run's owner can write: the user's unelevated
    // programs may change anything else in the temporary folder in between.
    bool needsPrivateTempFolder = false;
};

PrivilegeRules RulesForToken(TokenKind kind);
