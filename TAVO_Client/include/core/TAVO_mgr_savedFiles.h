#ifndef TAVO_MGR_SAVEDFILES_H
#define TAVO_MGR_SAVEDFILES_H

#include <QDateTime>
#include <QStandardPaths>
#include <QString>

// Files the user keeps from a box (pictures, recordings): named after the box and the time,
// in one of the user's folders, never in place of a file that is there already.
namespace TAVO_mgr_savedFiles {

// Creates an empty file "<box> <date> <time>.<suffix>" (with " (2)", " (3)", … when that name
// is taken) in the user's folder of this kind, and gives its path. Empty when the folder or the
// file cannot be made; `problem` then says why.
QString createNew(QStandardPaths::StandardLocation folder, const QString &boxName, const QString &suffix,
                  QString *problem, const QDateTime &when = QDateTime::currentDateTime());

// The path of a kept file that a text ends with ("Picture saved to <path>"), or empty when the
// text names none.
QString keptFileAtEndOf(const QString &text);

// "1.4 MB" and "1:05": a size and a length of time for the status line.
QString sizeText(qint64 bytes);
QString durationText(qint64 ms);

} // namespace TAVO_mgr_savedFiles

#endif
