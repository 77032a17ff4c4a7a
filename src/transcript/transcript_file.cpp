#include "transcript/transcript_file.h"

#include "runtime/app_error.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QSaveFile>
#include <QStorageInfo>
#include <QStringDecoder>

#include <array>

#ifdef Q_OS_WIN
#include "transcript/windows_attributes.h"
#endif

namespace {

// Qt's own (English) descriptions of file errors, for developers only:
// QT_LOGGING_RULES="velmora.transcript.debug=true" shows them.
Q_LOGGING_CATEGORY(transcriptLog, "velmora.transcript", QtInfoMsg)

// Windows-1252 bytes 0x80 to 0x9F. The five undefined bytes (0x81, 0x8D,
// 0x8F, 0x90, 0x9D) stand for the control characters of the same number, so
// they read back and write back unchanged.
constexpr std::array<char16_t, 32> high = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

const QByteArray utf8Bom("\xEF\xBB\xBF", 3);

// Whether bytes are valid UTF-8 holding more than ASCII. A quick look first,
// which Windows-1252 text fails at its first accented letter, then Qt's decoder.
bool isUtf8BeyondAscii(const QByteArray &bytes)
{
    bool beyondAscii = false;
    for (qsizetype i = 0, n = bytes.size(); i < n; ++i) {
        const auto c = uchar(bytes.at(i));
        if (c < 0x80)
            continue;
        const int more = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC2 ? 1 : -1;
        if (more < 0 || c > 0xF4 || i + more >= n)
            return false;
        for (int k = 1; k <= more; ++k) {
            if ((uchar(bytes.at(i + k)) & 0xC0) != 0x80)
                return false;
        }
        i += more;
        beyondAscii = true;
    }
    if (!beyondAscii)
        return false;
    QStringDecoder utf8(QStringConverter::Utf8);
    const QString text = utf8.decode(bytes);
    return !utf8.hasError();
}

// The Windows-1252 byte of c, or -1 when the code page has none.
int cp1252Byte(char16_t c)
{
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF))
        return c;
    for (size_t i = 0; i < high.size(); ++i) {
        if (high[i] == c)
            return int(0x80 + i);
    }
    return -1;
}

// The report of a failed save says, in Portuguese, what the user can act on;
// the numbers are the classic run-time ones. Qt's own (English) description
// goes to the debug log only.
[[noreturn]] void failSave(const QString &path, const QFileDevice &file, bool opened, qint64 size)
{
    qCDebug(transcriptLog) << "not saved:" << path << file.error() << file.errorString();
    const QFileInfo info(path);
    const QString notSaved = QStringLiteral("a conversa não foi gravada e continua na janela.");
    if (info.isDir()) {
        throw AppError(ErrorNumber::PathFileAccess,
                       QStringLiteral("Erro de acesso ao caminho/arquivo: \"%1\" é uma pasta; %2").arg(path, notSaved));
    }
    // A removed current folder leaves no current path at all.
    const QString folder = info.absolutePath();
    const bool folderGone = (QDir::isRelativePath(path) && QDir::currentPath().isEmpty()) || !QFileInfo(folder).isDir();
    if (!opened && folderGone) {
        throw AppError(
            ErrorNumber::PathNotFound,
            QStringLiteral("Caminho não encontrado: a pasta de \"%1\" não existe mais; %2").arg(path, notSaved));
    }
    const QStorageInfo storage(folder);
    if (storage.isValid() && storage.isReadOnly()) {
        throw AppError(
            ErrorNumber::PermissionDenied,
            QStringLiteral("Permissão negada: \"%1\" fica num disco que só permite leitura; %2").arg(path, notSaved));
    }
    if (info.exists() && !info.isWritable()) {
        throw AppError(ErrorNumber::PermissionDenied,
                       QStringLiteral("Permissão negada: o arquivo \"%1\" é somente leitura; %2").arg(path, notSaved));
    }
    if (!opened && !QFileInfo(folder).isWritable()) {
        throw AppError(
            ErrorNumber::PermissionDenied,
            QStringLiteral("Permissão negada: não é permitido gravar na pasta de \"%1\"; %2").arg(path, notSaved));
    }
    if (storage.isValid() && storage.bytesAvailable() >= 0 && storage.bytesAvailable() < size) {
        throw AppError(ErrorNumber::DiskFull,
                       QStringLiteral("Disco cheio: não há espaço para gravar \"%1\"; %2").arg(path, notSaved));
    }
    if (!opened && info.exists()) {
        throw AppError(ErrorNumber::PermissionDenied,
                       QStringLiteral("Permissão negada: o arquivo \"%1\" está bloqueado por outro programa; %2")
                           .arg(path, notSaved));
    }
    throw AppError(
        ErrorNumber::DeviceIo,
        QStringLiteral("Erro de E/S ao gravar \"%1\"; o arquivo anterior ficou como estava, %2").arg(path, notSaved));
}

bool writeAll(QIODevice &device, const QByteArray &bytes)
{
    return device.write(bytes) == bytes.size();
}

// Writes bytes over the file's content, from its start.
bool overwrite(QFile &file, const QByteArray &bytes, const TranscriptFile::Writer &writer)
{
    return file.seek(0) && writer(file, bytes) && file.resize(bytes.size()) && file.flush();
}

TranscriptFile::Writer &currentWriter()
{
    static TranscriptFile::Writer writer = writeAll;
    return writer;
}

} // namespace

void TranscriptFile::setWriter(Writer writer)
{
    currentWriter() = std::move(writer);
}

void TranscriptFile::restoreDefaultWriter()
{
    currentWriter() = writeAll;
}

QByteArray TranscriptFile::encode(const QString &text)
{
    QByteArray bytes(text.size(), Qt::Uninitialized);
    char *out = bytes.data();
    const auto *in = reinterpret_cast<const char16_t *>(text.utf16());
    const qsizetype n = text.size();
    // One straight pass (the compiler vectorises it) for the common case: every
    // character is its own byte. Only 0x80-0x9F and beyond 0xFF need the table.
    unsigned special = 0;
    unsigned all = 0;
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = in[i];
        out[i] = char(c);
        special |= unsigned(c >> 8) | unsigned((c & 0xFFE0) == 0x80);
        all |= c;
    }
    if (special != 0) {
        for (qsizetype i = 0; i < n; ++i) {
            const int byte = cp1252Byte(in[i]);
            if (byte < 0)
                return utf8Bom + text.toUtf8();
            out[i] = char(byte);
        }
    }
    // Bytes that begin like a byte-order mark ("ï»¿" or "ÿþ" in Windows-1252),
    // or that happen to be valid UTF-8, would read back as another encoding:
    // such a text is written as UTF-8, mark and all.
    if (QStringConverter::encodingForData(bytes) || (all >= 0x80 && isUtf8BeyondAscii(bytes)))
        return utf8Bom + text.toUtf8();
    return bytes;
}

QString TranscriptFile::decode(const QByteArray &bytes)
{
    // A byte-order mark says the encoding (UTF-8, or UTF-16 and UTF-32 as
    // Notepad's "Unicode" writes them); without one, valid UTF-8 holding more
    // than ASCII is taken as UTF-8, anything else as Windows-1252.
    if (const auto marked = QStringConverter::encodingForData(bytes)) {
        QStringDecoder decoder(*marked);
        return decoder.decode(bytes);
    }
    if (isUtf8BeyondAscii(bytes))
        return QString::fromUtf8(bytes);
    // Latin-1 but for 0x80-0x9F, which the table maps.
    QString text = QString::fromLatin1(bytes);
    char16_t *out = reinterpret_cast<char16_t *>(text.data());
    for (qsizetype i = 0, n = text.size(); i < n; ++i) {
        if ((out[i] & 0xFFE0) == 0x80)
            out[i] = high[out[i] - 0x80];
    }
    return text;
}

// Where the folder takes no new file, the transcript is written over in place.
// Its old content is held meanwhile and written back if the write fails part
// way, so that the old transcript is lost only if even that fails.
void TranscriptFile::saveInPlace(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    // Unbuffered: nothing of a failed write may reach the file after the old content is back.
    if (!file.open(QIODevice::ReadWrite | QIODevice::Unbuffered))
        failSave(path, file, false, bytes.size());
    const QByteArray old = file.readAll();
    if (file.error() != QFileDevice::NoError)
        failSave(path, file, true, bytes.size());
    if (overwrite(file, bytes, currentWriter()))
        return;
    QFile again(path);
    const bool restored = again.open(QIODevice::ReadWrite) && overwrite(again, old, writeAll);
    if (!restored) {
        qCDebug(transcriptLog) << "not restored:" << path << file.errorString() << again.errorString();
        throw AppError(ErrorNumber::DeviceIo,
                       QStringLiteral("Erro de E/S ao gravar \"%1\"; a conversa não foi gravada e o arquivo anterior "
                                      "não pôde ser recuperado; a conversa continua na janela.")
                           .arg(path));
    }
    failSave(path, file, true, bytes.size());
}

void TranscriptFile::save(const QString &path, const QString &text)
{
    // The closing CR LF is the same two bytes in Windows-1252 and in UTF-8.
    QByteArray bytes = encode(text);
    bytes += "\r\n";
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        // No new file may be made beside it, but the transcript itself may be written.
        const QFileInfo info(path);
        if (info.isFile() && info.isWritable()) {
            saveInPlace(path, bytes);
            return;
        }
        failSave(path, file, false, bytes.size());
    }
    if (!currentWriter()(file, bytes)) {
        file.cancelWriting();
        failSave(path, file, true, bytes.size());
    }
    if (!file.commit())
        failSave(path, file, true, bytes.size());
}

QString TranscriptFile::saveRecovery(const QString &text)
{
    QString name = QString::fromLatin1(RecoveryName);
    for (int n = 2; QFileInfo::exists(name); ++n)
        name = QStringLiteral("chat-recuperado-%1.txt").arg(n);
    save(name, text);
    return name;
}

std::optional<QString> TranscriptFile::load(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return std::nullopt;
    return decode(bytes);
}

bool TranscriptFile::exists(const QString &path)
{
    const QFileInfo info(QDir::current(), path);
    if (!info.exists() || !info.isFile() || info.isHidden())
        return false;
#ifdef Q_OS_WIN
    if (isWindowsSystemFile(reinterpret_cast<const wchar_t *>(info.absoluteFilePath().utf16())))
        return false;
#endif
    return true;
}
