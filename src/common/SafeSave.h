#pragma once

#include <QByteArrayView>
#include <QString>

// Replaces the whole content of a small file so that it holds either the new bytes or, after any failure,
// its old ones. The new bytes go to a temporary file beside it that takes the file's name only once every
// step (the write, the flush, the sync to disk, the close) has succeeded; a full disk or a write error
// leaves the file as it was. Qt's own QSaveFile cannot be used for this: Qt 6.4 reports a commit as
// successful when its buffered write failed on a full disk, and renames the short file over the original.
//
// Where the folder allows no temporary file but the file itself may be written (a folder the operator may
// not write, a file shared from elsewhere), the file is rewritten in place: what the file grows by is
// written first, so that running out of room leaves the old bytes; then the old bytes are overwritten. Only
// a crash in the middle of that overwrite can leave the file mixed.
//
// A symbolic link stays a link: the file it points to is replaced.
namespace safesave {

bool replace(const QString &path, QByteArrayView data);

} // namespace safesave
