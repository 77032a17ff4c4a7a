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

    // Writes bytes to the device; false when it could not write them all.
    using Writer = std::function<bool(QIODevice &, const QByteArray &)>;

    static QByteArray encode(const QString &text);
    static QString decode(const QByteArray &bytes);

    // Writes text and CR LF to path, replacing the old file only once the new
    // one is completely written. Throws AppError, leaving the old file as it was.
    static void save(const QString &path, const QString &text, const Writer &writer = {});

    // The file's text, or nothing when it cannot be read.
    static std::optional<QString> load(const QString &path);
};
