// The table as it was before the last command that changed it, kept beside it as "<table>.undo", so
// that the command can be taken back ("Правка → Отменить", darni-cli undo) and "Нет" to saving leaves
// the file as it was. One level deep. The copy is written all-or-nothing like every file of ours, and
// put back with one rename, so a crash at any moment leaves the table as it was before or after.
//
// A copy undoes only the table it was taken for, in the state the command left: once the command has
// ended and the table is closed, that state is recorded beside the copy ("<table>.undo.state": size,
// time of the last change, file identity and a fingerprint of the header and the last rows), and a
// copy whose table has changed since, or that is no whole table, is refused and removed.
#pragma once

#include "files/setasidefile.h"

#include <QString>

#include <optional>

namespace darni::workspace::undo {

QString copyPathFor(const QString& tablePath);
bool hasCopy(const QString& tablePath);

// How the command about to run changes the table file: in its place (an edit, an append), or by a new
// file renamed over it (a delete, a renumbering, a table created over it), which leaves the old file's
// contents untouched.
enum class Change { InPlace, Replacement };

// Keeps the table file as it stands: a copy of it, or, before a replacement where the file system can,
// a second name for the very file about to be replaced (instant, whatever its size). An earlier copy's
// recorded state goes. Throws UserError naming the cause (the table is untouched and an earlier copy
// stays).
void takeCopy(const QString& tablePath, Change change = Change::InPlace);
// Records the table as the command left it, so that a later undo can tell that nothing changed it
// since. Throws UserError; the copy then goes, as nothing could vouch for it.
void recordState(const QString& tablePath);
// Why the copy may not be put back over the table as it stands now, in Russian; nothing when it may.
std::optional<QString> copyProblem(const QString& tablePath);

// Whether restoreCopy() first checks the copy against the table (a copy left by an earlier run), or
// trusts it (the copy of the opening that holds the table).
enum class Check { Recorded, Trusted };
// Puts the copy in the table's place and removes the table's index file first, whose orders belonged
// to the rows of the file being replaced; the copy is used up. The table must be closed. Throws
// UserError; a copy refused by the check is removed then, and the table stays as it is.
void restoreCopy(const QString& tablePath, Check check = Check::Trusted);
// Removes what a writer of the copy or of its recorded state left when it was cut short.
void removeAbandoned(const QString& tablePath);
// Removes the copy and its recorded state, if any; what cannot be removed stays.
void discardCopy(const QString& tablePath);

// The copy (and recorded state) of an earlier command, set aside while a new command takes its own:
// it comes back when the new command fails, so that a failed command costs no earlier undo, and goes
// once drop() says the new command succeeded.
class EarlierCopy
{
public:
    explicit EarlierCopy(const QString& tablePath); // throws UserError when it cannot be set aside
    void drop();

private:
    files::SetAsideFile m_copy;
    files::SetAsideFile m_state;
};

// Told when there is no copy to put back.
QString nothingToUndoMessage();

} // namespace darni::workspace::undo
