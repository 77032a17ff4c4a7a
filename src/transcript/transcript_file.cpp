#include "transcript/transcript_file.h"

#include "runtime/app_error.h"
#include "transcript/available_memory.h"
#include "transcript/durable_file.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QLoggingCategory>
#include <QStringDecoder>

#include <array>

#ifdef Q_OS_WIN
#include "windows/file_attributes.h"
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
// the numbers are the classic run-time ones. The system's own (English)
// description goes to the debug log only.
// notSaved ends each description: what became of what was being saved.
[[noreturn]] void failSave(const QString &path, const DurableFile::Outcome &outcome, const QString &notSaved)
{
    using DurableFile::Failure;
    qCDebug(transcriptLog) << "not saved:" << path << int(outcome.failure) << outcome.systemError
                           << qt_error_string(outcome.systemError);
    if (!outcome.oldContentKept) {
        throw AppError(ErrorNumber::DeviceIo,
                       QStringLiteral("Erro de E/S ao gravar \"%1\"; o arquivo anterior não pôde ser recuperado; %2")
                           .arg(path, notSaved));
    }
    switch (outcome.failure) {
    case Failure::IsFolder:
        throw AppError(ErrorNumber::PathFileAccess,
                       QStringLiteral("Erro de acesso ao caminho/arquivo: \"%1\" é uma pasta; %2").arg(path, notSaved));
    case Failure::FolderGone:
        throw AppError(
            ErrorNumber::PathNotFound,
            QStringLiteral("Caminho não encontrado: a pasta de \"%1\" não existe mais; %2").arg(path, notSaved));
    case Failure::ReadOnlyDisk:
        throw AppError(
            ErrorNumber::PermissionDenied,
            QStringLiteral("Permissão negada: \"%1\" fica num disco que só permite leitura; %2").arg(path, notSaved));
    case Failure::ReadOnlyFile:
        throw AppError(ErrorNumber::PermissionDenied,
                       QStringLiteral("Permissão negada: o arquivo \"%1\" é somente leitura; %2").arg(path, notSaved));
    case Failure::AppendOnly:
        throw AppError(ErrorNumber::PermissionDenied,
                       QStringLiteral("Permissão negada: o arquivo \"%1\" só aceita acréscimos no fim (atributo "
                                      "\"somente acréscimo\"); %2")
                           .arg(path, notSaved));
    case Failure::NoNewFile:
    case Failure::NoPermission:
        throw AppError(
            ErrorNumber::PermissionDenied,
            QStringLiteral("Permissão negada: não é permitido gravar na pasta de \"%1\"; %2").arg(path, notSaved));
    case Failure::Locked:
        throw AppError(ErrorNumber::PermissionDenied,
                       QStringLiteral("Permissão negada: o arquivo \"%1\" está bloqueado por outro programa; %2")
                           .arg(path, notSaved));
    case Failure::DiskFull:
        throw AppError(ErrorNumber::DiskFull,
                       QStringLiteral("Disco cheio: não há espaço para gravar \"%1\"; %2").arg(path, notSaved));
    case Failure::None:
    case Failure::Io:
        break;
    }
    throw AppError(
        ErrorNumber::DeviceIo,
        QStringLiteral("Erro de E/S ao gravar \"%1\"; o arquivo anterior ficou como estava; %2").arg(path, notSaved));
}

std::filesystem::path nativePath(const QString &path)
{
#ifdef Q_OS_WIN
    return std::filesystem::path(path.toStdWString());
#else
    return std::filesystem::path(QFile::encodeName(path).toStdString());
#endif
}

// UTF-8 of text; a lone surrogate, which UTF-8 cannot hold, is written as
// U+FFFD, the character that marks one that could not be kept.
QByteArray utf8(const QString &text)
{
    QString whole = text;
    for (qsizetype i = 0, n = whole.size(); i < n; ++i) {
        const QChar c = whole.at(i);
        if (c.isHighSurrogate() && i + 1 < n && whole.at(i + 1).isLowSurrogate())
            ++i;
        else if (c.isSurrogate())
            whole[i] = QChar::ReplacementCharacter;
    }
    return whole.toUtf8();
}

} // namespace

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
                return utf8Bom + utf8(text);
            out[i] = char(byte);
        }
    }
    // Bytes that begin like a byte-order mark ("ï»¿" or "ÿþ" in Windows-1252),
    // or that happen to be valid UTF-8, would read back as another encoding:
    // such a text is written as UTF-8, mark and all.
    if (QStringConverter::encodingForData(bytes) || (all >= 0x80 && isUtf8BeyondAscii(bytes)))
        return utf8Bom + utf8(text);
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

namespace {

const QString ConversationStays = QStringLiteral("a conversa não foi gravada e continua na janela.");
const QString NothingKeptThere = QStringLiteral("nada foi guardado ali.");

void saveWithin(const QString &path, const QString &text, const QString &notSaved)
{
    // The closing CR LF is the same two bytes in Windows-1252 and in UTF-8.
    QByteArray bytes = TranscriptFile::encode(text);
    bytes += "\r\n";
    const std::string_view content(bytes.constData(), size_t(bytes.size()));
    DurableFile::Outcome outcome = DurableFile::replace(nativePath(path), content);
    if (outcome.failure == DurableFile::Failure::NoNewFile) {
        // No new file may be made beside it, but the transcript itself may be written.
        const QFileInfo info(path);
        if (info.isFile() && info.isWritable())
            outcome = DurableFile::overwrite(nativePath(path), content);
    }
    if (outcome.failure != DurableFile::Failure::None)
        failSave(path, outcome, notSaved);
}

// The first recovery name not taken in folder (empty: the current one).
QString freeRecoveryName(const QString &folder)
{
    const QDir in(folder.isEmpty() ? QStringLiteral(".") : folder);
    QString chosen = QString::fromLatin1(TranscriptFile::RecoveryName);
    for (int n = 2; in.exists(chosen); ++n)
        chosen = QStringLiteral("chat-recuperado-%1.txt").arg(n);
    return folder.isEmpty() ? chosen : QDir::toNativeSeparators(in.filePath(chosen));
}

} // namespace

void TranscriptFile::save(const QString &path, const QString &text)
{
    saveWithin(path, text, ConversationStays);
}

QString TranscriptFile::stateFolder()
{
#ifdef Q_OS_WIN
    const QString base = qEnvironmentVariable("LOCALAPPDATA");
    return base.isEmpty() ? QString() : QDir(base).filePath(QStringLiteral("Velmora"));
#else
    const QString state = qEnvironmentVariable("XDG_STATE_HOME");
    if (QDir::isAbsolutePath(state))
        return QDir(state).filePath(QStringLiteral("velmora"));
    return QDir(QDir::homePath()).filePath(QStringLiteral(".local/state/velmora"));
#endif
}

QString TranscriptFile::saveRecovery(const QString &text, const QString &name)
{
    if (!name.isEmpty()) {
        try {
            saveWithin(name, text, NothingKeptThere);
            return name;
        } catch (const AppError &) {
            // Where it went before takes no more: a new place, as for a first rescue.
        }
    }
    try {
        const QString here = freeRecoveryName(QString());
        saveWithin(here, text, NothingKeptThere);
        return here;
    } catch (const AppError &refused) {
        // The user's own folder for what a program keeps.
        const QString folder = stateFolder();
        try {
            if (folder.isEmpty() || !QDir().mkpath(folder))
                throw AppError(ErrorNumber::PathNotFound,
                               QStringLiteral("Caminho não encontrado: a pasta \"%1\" não pôde ser criada; %2")
                                   .arg(QDir::toNativeSeparators(folder), NothingKeptThere));
            const QString there = freeRecoveryName(folder);
            saveWithin(there, text, NothingKeptThere);
            return there;
        } catch (const AppError &alsoRefused) {
            throw AppError(refused.number(), refused.description() + QLatin1Char(' ') + alsoRefused.description());
        }
    }
}

void TranscriptFile::removeLeftovers(const QString &path)
{
    DurableFile::removeLeftovers(nativePath(path));
}

std::optional<QString> TranscriptFile::load(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    // Refused before a byte is read: reading what cannot be held would end
    // the program, and the conversation in the window with it.
    const qint64 size = file.size();
    const long long available = availableMemoryBytes();
    if (size > MaxLoadBytes || (available >= 0 && size > available / MemoryPerByte)) {
        const QLocale portuguese(QLocale::Portuguese, QLocale::Brazil);
        throw AppError(ErrorNumber::OutOfMemory,
                       QStringLiteral("Memória insuficiente: o arquivo \"%1\" tem %2 bytes (%3), mais do que a memória "
                                      "disponível comporta; ele não foi lido e a conversa na janela ficou como estava.")
                           .arg(path, portuguese.toString(size),
                                portuguese.formattedDataSize(size, 1, QLocale::DataSizeSIFormat)));
    }
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
