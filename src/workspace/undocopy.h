// The table as it was before the last command that changed it, kept beside it as "<table>.undo", so
// that the command can be taken back ("Правка → Отменить", darni-cli undo) and "Нет" to saving leaves
// the file as it was. One level deep. The copy is written all-or-nothing like every file of ours, and
// put back with one rename, so a crash at any moment leaves the table as it was before or after.
#pragma once

#include <QString>

namespace darni::workspace::undo {

QString copyPathFor(const QString& tablePath);
bool hasCopy(const QString& tablePath);

// How the command about to run changes the table file: in its place (an edit, an append), or by a new
// file renamed over it (a delete, a renumbering), which leaves the old file's contents untouched.
enum class Change { InPlace, Replacement };

// Keeps the table file as it stands: a copy of it, or, before a replacement where the file system can,
// a second name for the very file about to be replaced (instant, whatever its size). Throws UserError
// naming the cause (the table is untouched and an earlier copy stays).
void takeCopy(const QString& tablePath, Change change = Change::InPlace);
// Puts the copy in the table's place and removes the table's index file, whose orders belonged to the
// rows of the file being replaced; the copy is used up. The table must be closed. Throws UserError.
void restoreCopy(const QString& tablePath);
// Removes the copy, if any; what cannot be removed stays.
void discardCopy(const QString& tablePath);

// Told when there is no copy to put back.
QString nothingToUndoMessage();

} // namespace darni::workspace::undo
