#pragma once
// What an installation is: the eight options a person chooses on the first page, the folder,
// and with them its scope. The command line asks for some, an earlier installation chose
// some, a policy forces some and the window edits them; the installation, its registration,
// the elevated copy's command line and the next installation read the one value they settle
// into.
#include <stdint.h>

#include <initializer_list>

#include "base/str.h"

// The eight options, in the first page's order. A policy may lock any of them but the
// default-reader ones.
enum class Choice : uint8_t {
    AllUsers,
    SearchFilter,
    DesktopShortcut,
    Previewer,
    DefaultPdf,
    DefaultComics,
    DefaultMarkdown,
    OfficeAddin,
    None,
};
constexpr int kChoiceCount = 8;
static_assert((int)Choice::None == kChoiceCount, "every choice but None is counted");

struct ChoiceSet {
    uint32_t bits = 0;

    constexpr ChoiceSet() = default;
    constexpr ChoiceSet(std::initializer_list<Choice> choices) {
        for (Choice c : choices) Add(c);
    }
    static constexpr ChoiceSet All() {
        ChoiceSet all;
        all.bits = (uint32_t)((1ull << kChoiceCount) - 1);
        return all;
    }

    constexpr bool Has(Choice c) const { return c != Choice::None && (bits >> (int)c) & 1; }
    constexpr void Add(Choice c) {
        if (c != Choice::None) bits |= 1u << (int)c;
    }
    constexpr void Remove(Choice c) {
        if (c != Choice::None) bits &= ~(1u << (int)c);
    }
    constexpr void Set(Choice c, bool on) { on ? Add(c) : Remove(c); }
    constexpr bool IsEmpty() const { return bits == 0; }
    constexpr ChoiceSet With(ChoiceSet other) const {
        ChoiceSet both;
        both.bits = bits | other.bits;
        return both;
    }
    constexpr ChoiceSet Only(ChoiceSet kept) const {
        ChoiceSet rest;
        rest.bits = bits & kept.bits;
        return rest;
    }
    constexpr ChoiceSet Without(ChoiceSet other) const {
        ChoiceSet rest;
        rest.bits = bits & ~other.bits;
        return rest;
    }
    constexpr bool operator==(const ChoiceSet& other) const { return bits == other.bits; }
};
// A choice added past what the bits hold would silently share a bit with another.
static_assert(kChoiceCount <= (int)sizeof(ChoiceSet::bits) * 8, "ChoiceSet holds every choice");

struct InstallChoices {
    ChoiceSet on;        // the options that are on; Choice::AllUsers is the scope
    StrView installDir;  // empty until it is settled

    bool Has(Choice c) const { return on.Has(c); }
    void Set(Choice c, bool value) { on.Set(c, value); }
    bool AllUsers() const { return on.Has(Choice::AllUsers); }
};
