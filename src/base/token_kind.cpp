#include "base/token_kind.h"

PrivilegeRules RulesForToken(TokenKind kind) {
    PrivilegeRules rules;
    rules.forcesAllUsers = kind == TokenKind::LocalSystem;
    rules.needsPrivateTempFolder = kind != TokenKind::Limited;
    return rules;
}
