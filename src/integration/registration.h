#pragma once
// Everything an installation leaves on the machine, as one table: the shell extensions, the
// Office add-in, the shortcuts, the uninstall entry, the file associations, the default
// reader, the PATH entry, the watcher, and the containers the registry values needed, each
// with its root and registry view. The table is built from the settled options and the
// installation directory alone; installing writes it, an upgrade removes the earlier
// installation's by building the table for that installation, the uninstaller removes it,
// and a failed installation puts back from it the shell extensions it took away.
//
// The table is in the order the installation writes it. Removal takes the pieces in an order
// of its own (see the removal orders below), because it must first let go of what other
// programs hold loaded and keep the uninstall entry to the end, where writing keeps the entry
// until the product's files and shortcuts are in place.
#include <initializer_list>
#include <stdint.h>

#include "base/install_choices.h"
#include "base/str.h"
#include "base/vec.h"
#include "integration/default_reader.h"
#include "integration/reg_value.h"
#include "integration/uninstall.h"

enum class RegRoot : uint8_t { User, Machine };
enum class RegView : uint8_t { Native, Bits64, Bits32 };

enum class Piece : uint8_t {
    // The two shell extensions. Absent: taken away from the earlier installation while their
    // files are replaced; the mark in its uninstall entry says so until the installation ends.
    SearchFilter,    // the filter's COM class and .pdf's persistent handler
    Previewer,       // the preview handlers and their thumbnail slots, the Internet-zone value
    PreviewPane,     // Explorer's preview pane turned on for the user (never taken back)
    OfficeAddin,     // one root and view; absent: the installation makes sure there is none
    Shortcuts,       // the Programs shortcut and, when wanted, the desktop one
    UninstallEntry,  // the entry in the list of programs, with the choices recorded in it
    Associations,    // ProgIDs, Open-with entries, capabilities (under the product key)
    MimeType,        // .pdf's content type, written with the associations
    DefaultReader,   // the user's choice record for one group of extensions
    // The backups of the user's earlier defaults, under the user's product key; the default
    // reader's steps write each one right before its record, with what the record held.
    DefaultBackups,
    PathEntry,       // the installation directory on PATH
    Watcher,         // the Run value that starts the watcher at log-on; started once now
    // The statistics identity: the installer's name and the machine's identifier, which later
    // reports of any installation on this machine read back; kept on removal so that they
    // stay the same. Written last, once the product's library gave the identifier.
    StatsIdentity,
    Containers,      // keys made on the way to the values, which go once empty
};

// Where the statistics identity lives, in the 32-bit view.
constexpr const char* kStatsIdentityKey = "Software\\VLPdf";
constexpr const char* kHardwareIdValue = "hardwareid";
constexpr const char* kPackageNameValue = "PackageName";

struct RegItem {
    Piece piece = Piece::Containers;
    RegRoot root = RegRoot::User;
    RegView view = RegView::Native;
    bool present = true;  // see the OfficeAddin and shell extension pieces
    // Under the user's root where the machine's cannot be written (a limited user's run).
    bool orUser = false;
    ReaderKind reader = ReaderKind::Pdf;  // DefaultReader
};

struct Registration {
    InstallChoices in;  // the settled choices the table is built from
    StrView exePath;  // the reader in the installation directory
    // The folder the installation created its directory from (see kCreatedFolderValue); the
    // installation sets it, the table is the same without it.
    StrView createdFolder;
    Vec<RegItem> items;
    explicit Registration(Arena* a) : items(a) {}
};

// Everything an installation in dir for this scope may have registered: every optional piece
// on, every default group taken. Removing it removes what any choice of options left.
InstallChoices AnyInstallationIn(StrView dir, bool allUsers);
// Strings live in the temporary arena.
void BuildRegistration(const InstallChoices& in, Registration* out);
// The earlier installation's shell extensions that an installation takes away to replace
// their files, as absent items: their values are the marks in the earlier uninstall entry,
// under entryRoot. Writing them marks, removing them clears the marks.
void BuildTakenShellExtensions(const InstallChoices& earlier, RegRoot entryRoot, Registration* out);

// When the installation writes each piece: the components whose files were just replaced
// and the shortcuts, then the uninstall entry (from here on the installation counts as done),
// then what points the shell at the reader. Containers and the MIME type, the backups and
// the pane go with the pieces that make them.
enum class RegStage : uint8_t { Components, Entry, Shell, None };
RegStage StageOf(Piece piece);

// Why the table is walked for removal; each has its order of pieces.
enum class Removal : uint8_t {
    // An upgrade, before writing: the shell extensions (which hold the product's DLLs), the
    // associations and the product key, every shortcut folder any version used.
    Upgrade,
    // An upgrade that changed scope: the earlier installation under the other root, once the
    // new entry is written; its uninstall entry goes only after its files.
    OtherInstallation,
    OtherInstallationEntry,
    // The uninstaller, while the files are still there, and after they are gone.
    Uninstall,
    UninstallAfterFiles,
};
// The pieces a removal takes, in its order; count in *n.
const Piece* RemovalOrder(Removal why, int* n);

// A registry value the table says the installation left.
enum class TraceMatch : uint8_t {
    Exact,    // the value holds exactly this
    Exists,   // the data varies (the date, the size): only that it is there
    Absent,   // the installation removed it (a stale default of a ProgID)
    Element,  // one of the value's ';'-separated elements equals the text, ignoring case
    // There while installed, its data varying; once removed the value may be another
    // program's (a choice record given back has a verification value of its own).
    ExistsWhileInstalled,
};
struct RegTrace {
    Piece piece = Piece::Containers;
    RegRoot root = RegRoot::User;
    RegView view = RegView::Native;
    RegValue value;
    TraceMatch match = TraceMatch::Exact;
    bool orUser = false;  // as the item's
    // Left in place when the installation is removed: the machine's own MIME type of .pdf,
    // which may have been there before, the user's preview pane, the statistics identity.
    bool keptOnRemoval = false;
};
// Every registry value of the table with what it holds after the installation; a value
// written twice appears once, with the data written last. platformMajor decides the
// application capabilities (10 and later).
void RegistrationTraces(const Registration& reg, int platformMajor, Vec<RegTrace>* out);

// What writing needs besides the table: the platform's major version (10 and later get the
// application capabilities) and the day the installation is recorded with (UTC).
struct RegWriteContext {
    int platformMajor = 0;
    int year = 0, month = 0, day = 0;
    // The statistics identity's data, known only to the statistics.
    StrView packageName;
    StrView hardwareId;
};
// The registry values the item writes, in order, under its root and view: what the installation
// writes (PieceWrites reads them), what the traces check and what removing the item deletes.
// A value whose data varies (RegValue::varies) has the context's, or none.
void PieceValues(const Registration& reg, const RegItem& item, const RegWriteContext& ctx, Vec<RegValue>* values);

// One step of writing a piece, as data: the pure code decides every value a piece writes and
// every effect around them, in order, and one executor performs the list. Values form groups
// that an Outcome step ends; the group's result is what the Outcome logs and reports.
enum class RegWriteOp : uint8_t {
    Log,            // `text` as a line of the log
    Value,          // `value` under the step's root and view
    EstimatedSize,  // `value` with the size of the directory `text`, measured right before
    FlushEntry,     // the uninstall entry flushed to the disk before anything relies on it
    Outcome,        // logs `text` when the group went well, else `failLog`, and reports `failure`
    NotifyAssociationsChanged,
    UserChoice,     // the user's default for the extension `text`: `value`, hashed; the earlier kept
    PathElement,    // the installation directory (`text`) onto PATH, running programs told
    PreviewPane,    // Explorer's preview pane turned on with `value`
    Shortcuts,      // the shortcuts to `text`; the desktop one too with `desktop`
    IfFileExists,   // the piece's remaining steps only when the file `text` is there
    StartWatcher,   // the watcher `text` started now
    Unregister,     // the piece's removal instead (an add-in the choices leave out)
};
struct RegWrite {
    RegWriteOp op = RegWriteOp::Log;
    RegRoot root = RegRoot::User;
    RegView view = RegView::Native;
    RegValue value;
    StrView text;
    StrView failLog;
    const char* failure = nullptr;  // untranslated
    bool stopAfterFailure = false;  // a Value skipped once its group failed
    bool quiet = false;             // a Value written without a log line
    bool keyMustExist = false;      // a quiet Value whose key is not made when missing
    bool durable = false;           // a Value noted as written for the durability checks
    bool orUser = false;            // a Value written under the user's root when the machine's fails
    bool desktop = false;
};
// The steps that write the item, in order: its values (PieceValues) with the effects around them.
void PieceWrites(const Registration& reg, const RegItem& item, const RegWriteContext& ctx, Vec<RegWrite>* out);
// The statistics identity's item, the same in every table.
RegItem StatsIdentityItem();

// The shell folders (CSIDL) that hold a shortcut of the installation.
void RegistrationShortcuts(const Registration& reg, Vec<int>* csidls);

// One step of taking a piece away, as data: the pure code decides every key and value a
// removal touches and in which order, and one executor performs the list. What a piece wrote
// is taken away as its values say: the keys that are its own whole, its values in keys
// others share one by one, then what that left empty under a file type's key. The other
// steps are guarded (taken only while the machine still holds what the piece wrote) or undo
// what older versions wrote.
enum class RegDeleteOp : uint8_t {
    Key,           // the key and everything below it; once gone, `levels` parents while empty
    KeyIfEmpty,    // the key when empty, then its parents while empty: `levels` keys in all
    EmptyKeys,     // the key and its parents while empty, never the two top levels
    KeyInView,     // in the step's view only, without a log line; nothing below it may exist
    KeyBut,        // every subkey but `name`; the key itself when `name` is not among them
    Value,
    ValueQuiet,    // without a log line
    Log,           // `text` as a line of the log
    NotifyAssociationsChanged,
    PathElement,   // the installation directory (`text`) off PATH, running programs told
    Shortcut,      // the shortcut in the shell folder `csidl`
    AllShortcuts,  // every folder any version put a shortcut in
    DefaultBackups,  // the backups of `reader`'s group read; the piece gives them back at its end
};
struct RegDelete {
    RegDeleteOp op = RegDeleteOp::Key;
    RegRoot root = RegRoot::User;
    RegView view = RegView::Native;
    StrView key;
    StrView name;
    StrView text;
    int levels = 0;
    bool resetAcl = false;
    bool mayFail = false;  // a Key step whose failure the outcome ignores (the machine's copy)
    // When set, the step is taken only while the key's value `ifName` reads `ifText`
    // (ignoring case when asked); an empty value never matches. ifLogged reads through the
    // logged primitive; keptLog is logged when the value is there but names something else.
    bool guarded = false;
    bool ifExists = false;  // the guard asks only that the value `ifName` is there
    StrView ifName;
    StrView ifText;
    bool ifIgnoreCase = false;
    bool ifLogged = false;
    StrView keptLog;
    int csidl = 0;
    ReaderKind reader = ReaderKind::Pdf;
};
// The steps that take the item away for this removal, in order. Both shell extensions are
// taken from both roots whatever the item's root: older installations wrote either.
void PieceRemoval(const Registration& reg, const RegItem& item, Removal why, Vec<RegDelete>* out);
// The add-in's removal in one root and view, as an absent add-in's writing carries it out.
void OfficeAddinRemoval(RegRoot root, RegView view, Vec<RegDelete>* out);

const char* RegRootName(RegRoot root);
// The root of an installation for all users or for the current user.
inline RegRoot RegRootFor(bool allUsers) {
    return allUsers ? RegRoot::Machine : RegRoot::User;
}

#ifdef _WIN32
#include <windows.h>
HKEY RegRootKey(RegRoot root);
// HKEY_LOCAL_MACHINE is the machine's root; any other key is taken as the user's.
RegRoot RegRootOf(HKEY root);
// KEY_WOW64_64KEY, KEY_WOW64_32KEY, or 0 for the native view.
uint32_t RegViewFlag(RegView view);
// Writes the pieces of one stage in table order, with the writers' own log lines. A failed
// uninstall entry or association is reported through NotifyFailed; installing goes on.
void WriteRegistration(const Registration& reg, RegStage stage);
// Registers again the shell extensions of the table (a failed installation puts back what
// it took away to replace their files).
void RestoreShellExtensionsFrom(const Registration& reg);
// Removes the pieces of the removal's order, each in table order.
void RemoveRegistration(const Registration& reg, Removal why);
// Writes the statistics identity (the statistics compute it).
void WriteStatsIdentity(StrView packageName, StrView hardwareId);
// Removes the items of one piece (the shell extensions, taken away to free their files).
void RemovePiece(const Registration& reg, Piece piece, Removal why);
// Performs the steps in order. True when every key deleted under HKEY_CURRENT_USER went.
bool RunRemoval(const Vec<RegDelete>& steps);
// What writing needs from the running system now.
RegWriteContext CurrentWriteContext();
// Performs the steps in order, each under its own root. A failed group's message is reported
// through NotifyFailed when `report`. True when every group went well.
bool RunWrites(const Vec<RegWrite>& steps, bool report);
#endif
