#pragma once
// Record keys for new notes and sections, and link keys. Every maker hands
// out only a key that is not in use in the open database (nor in `alsoTaken`,
// keys the caller has handed out but not written yet).
#include "core/platform/clock.h"
#include "core/store/database.h"

#include <QtCore/QDateTime>
#include <QtCore/QRandomGenerator>
#include <QtCore/QSet>
#include <QtCore/QString>
#include <QtCore/QStringList>

namespace vellicar::store {

// The serial day number of `when` as plain text with up to 15 significant
// digits, e.g. "36599.5208333333"; a whole day has no point. Pure.
QString clockKeyText(const QDateTime& when);

// Key of a new note: the clock key of clock.now(). When that key is taken
// (two notes within the same tick), the time is stepped on a millisecond at
// a time until the key is free. Empty only when no database is open.
QString NewNoteKey(DbState& db, const platform::Clock& clock, const QSet<QString>& alsoTaken = {});

// Key of a pasted note: 11111111 + 99999999 * r rounded, r uniform in [0, 1),
// drawn again while taken.
QString newkey(DbState& db, const QSet<QString>& alsoTaken = {});
QString newkey(DbState& db, QRandomGenerator& random, const QSet<QString>& alsoTaken = {});

// Link key: 22222222 + 99999999 * r rounded. Never stored; unique among `inUse`
// (the link keys of the shown links panel).
QString newlinkkey(const QSet<QString>& inUse = {});
QString newlinkkey(QRandomGenerator& random, const QSet<QString>& inUse = {});

// The program's private per-user folder for temporary files, created with
// mode 0700 when missing. Empty when it cannot be made or is not ours.
QString privateTempFolder();

// Creates a new, empty file named `prefix` (its first three characters), one
// to four upper-case hex digits and ".TMP" in `folder`, exclusively (O_EXCL)
// with mode 0600, and returns its full path; empty on failure.
QString createUniqueTempFile(const QString& folder, const QString& prefix);

// A new section key "VLR" + up to four upper-case hex digits, named after a
// fresh temporary file in `tempFolder` (left in place). A key already used by
// a section in `sectionKeys`, by a record (key, key + "Tree", key +
// "Categories") or as an Owner is never returned: the temporary names start
// again once the folder is cleaned, so each candidate is checked and another
// is drawn. Empty when no free key could be made (message in `error`).
QString MakeSectionKey(DbState& db, const QStringList& sectionKeys,
                       const QString& tempFolder = privateTempFolder(), QString* error = nullptr);

} // namespace vellicar::store
