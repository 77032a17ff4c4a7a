#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// The conversation kept on disk, in the file "chat.txt": the received-chat
// box's text followed by one CR LF. Windows-1252 whenever the text fits it,
// so transcripts move unchanged between the Windows and Linux builds; UTF-8
// with a byte-order mark when it does not, so that no character is lost.
class TranscriptFile
{
public:
    static constexpr const char *Name = "chat.txt";
    // Where a conversation not yet saved goes when the program must end.
    static constexpr const char *RecoveryName = "chat-recuperado.txt";

    // A transcript is read only when the memory at hand can hold this many
    // bytes for each of its own (its text, its picture in the box, and
    // their layout), and when it is at most MaxLoadBytes long.
    static constexpr qint64 MemoryPerByte = 10;
    static constexpr qint64 MaxLoadBytes = qint64(1) << 30;

    static QByteArray encode(const QString &text);
    static QString decode(const QByteArray &bytes);

    // Writes text and CR LF to path (where a symbolic link leads, the file
    // keeping its links, owner, permissions and attributes), replacing the
    // old file only with the whole new one once it has reached the disk; where the folder takes no
    // new file, over the old one in place, its room made sure of first and
    // the old content put back if a write fails part way. Throws AppError
    // (61 disk full, 57 input/output error, 70 permission denied, 75, 76),
    // leaving the old file as it was.
    static void save(const QString &path, const QString &text);

    // Removes what saves of path killed half-way left beside it (their
    // processes gone). A save does it too.
    static void removeLeftovers(const QString &path);

    // Saves text as save does, beside chat.txt: under name when one is given
    // (an earlier recovery of this run, written again with more), else under
    // RecoveryName or, where that is taken by an earlier recovery, the first
    // free "chat-recuperado-N.txt"; where the folder takes none, the same in
    // stateFolder(). Returns the name used (the whole path when not beside
    // chat.txt). Throws AppError saying why neither place took it.
    static QString saveRecovery(const QString &text, const QString &name = QString());
    // The user's own folder for what the program keeps: $XDG_STATE_HOME/velmora,
    // else ~/.local/state/velmora; on Windows %LOCALAPPDATA%\Velmora.
    static QString stateFolder();

    // The file's text, or nothing when it cannot be read. A file larger than
    // the memory at hand can hold is not read: AppError 7 says so, naming it
    // and its size.
    static std::optional<QString> load(const QString &path);

    // Whether path names a transcript that may be read: a regular file,
    // read-only ones included; never a folder, a hidden or (on Windows) system
    // file, or a FIFO, socket or device, so that reading can never block on one.
    // The name is taken as it is, never as a pattern.
    static bool exists(const QString &path);
};
