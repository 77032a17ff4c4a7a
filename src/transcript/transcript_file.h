#pragma once

#include <QByteArray>
#include <QString>

#include <functional>
#include <optional>

class QIODevice;

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

    // Writes bytes to the device; false when it could not write them all.
    using Writer = std::function<bool(QIODevice &, const QByteArray &)>;
    // Tests swap the writer to make a save fail part way.
    static void setWriter(Writer writer);
    static void restoreDefaultWriter();

    static QByteArray encode(const QString &text);
    static QString decode(const QByteArray &bytes);

    // Writes text and CR LF to path, replacing the old file only once the new
    // one is completely written (in place, keeping the old content until the
    // write succeeded, where the folder takes no new file). Throws AppError,
    // leaving the old file as it was.
    static void save(const QString &path, const QString &text);

    // Saves text as save does, beside chat.txt, under RecoveryName or, where
    // that is taken by an earlier recovery, the first free "chat-recuperado-N.txt";
    // returns the name used. Throws AppError.
    static QString saveRecovery(const QString &text);

    // The file's text, or nothing when it cannot be read.
    static std::optional<QString> load(const QString &path);

    // Whether path names a transcript that may be read: a regular file,
    // read-only ones included; never a folder, a hidden or (on Windows) system
    // file, or a FIFO, socket or device, so that reading can never block on one.
    // The name is taken as it is, never as a pattern.
    static bool exists(const QString &path);

private:
    static void saveInPlace(const QString &path, const QByteArray &bytes);
};
