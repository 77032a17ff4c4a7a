#include "transcript/transcript_file.h"

#include "runtime/app_error.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <array>

#ifdef Q_OS_WIN
#include "transcript/windows_attributes.h"
#endif

namespace {

// Windows-1252 bytes 0x80 to 0x9F. The five undefined bytes (0x81, 0x8D,
// 0x8F, 0x90, 0x9D) stand for the control characters of the same number, so
// they read back and write back unchanged.
constexpr std::array<char16_t, 32> high = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

const QByteArray utf8Bom("\xEF\xBB\xBF", 3);

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

// Keeps what the user can act on: the numbers are the classic run-time ones.
[[noreturn]] void failSave(const QString &path, const QFileDevice &file, bool opened)
{
    const QString reason = file.errorString();
    const QFileInfo info(path);
    if (info.isDir()) {
        throw AppError(ErrorNumber::PathFileAccess,
                       QStringLiteral("Erro de acesso ao caminho/arquivo: \"%1\" é uma pasta; a conversa não foi "
                                      "gravada.")
                           .arg(path));
    }
    // A removed current folder leaves no current path at all.
    const bool folderGone = (QDir::isRelativePath(path) && QDir::currentPath().isEmpty())
                            || !QFileInfo(info.absolutePath()).isDir();
    if (!opened && folderGone) {
        throw AppError(ErrorNumber::PathNotFound,
                       QStringLiteral("Caminho não encontrado: a pasta de \"%1\" não existe mais; a conversa não "
                                      "foi gravada (%2).")
                           .arg(path, reason));
    }
    if (file.error() == QFileDevice::PermissionsError) {
        throw AppError(
            ErrorNumber::PermissionDenied,
            QStringLiteral("Permissão negada ao gravar \"%1\"; a conversa não foi gravada (%2).").arg(path, reason));
    }
    throw AppError(ErrorNumber::DeviceIo,
                   QStringLiteral("Erro de E/S ao gravar \"%1\"; a conversa não foi gravada e o arquivo anterior "
                                  "ficou como estava (%2).")
                       .arg(path, reason));
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
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = in[i];
        out[i] = char(c);
        special |= unsigned(c >> 8) | unsigned((c & 0xFFE0) == 0x80);
    }
    if (special != 0) {
        for (qsizetype i = 0; i < n; ++i) {
            const int byte = cp1252Byte(in[i]);
            if (byte < 0)
                return utf8Bom + text.toUtf8();
            out[i] = char(byte);
        }
    }
    // Bytes that begin like the UTF-8 mark ("ï»¿" in Windows-1252) would read
    // back as UTF-8: such a text is written as UTF-8, mark and all.
    if (bytes.startsWith(utf8Bom))
        return utf8Bom + text.toUtf8();
    return bytes;
}

QString TranscriptFile::decode(const QByteArray &bytes)
{
    if (bytes.startsWith(utf8Bom))
        return QString::fromUtf8(bytes.constData() + utf8Bom.size(), bytes.size() - utf8Bom.size());
    QString text(bytes.size(), Qt::Uninitialized);
    char16_t *out = reinterpret_cast<char16_t *>(text.data());
    const auto *in = reinterpret_cast<const unsigned char *>(bytes.constData());
    for (qsizetype i = 0, n = bytes.size(); i < n; ++i) {
        const unsigned char b = in[i];
        out[i] = (b >= 0x80 && b < 0xA0) ? high[b - 0x80] : char16_t(b);
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
        failSave(path, file, false);
    const QByteArray old = file.readAll();
    if (file.error() != QFileDevice::NoError)
        failSave(path, file, true);
    if (overwrite(file, bytes, currentWriter()))
        return;
    QFile again(path);
    const bool restored = again.open(QIODevice::ReadWrite) && overwrite(again, old, writeAll);
    if (!restored) {
        throw AppError(ErrorNumber::DeviceIo,
                       QStringLiteral("Erro de E/S ao gravar \"%1\"; a conversa não foi gravada e o arquivo anterior "
                                      "não pôde ser recuperado; a conversa continua na janela (%2).")
                           .arg(path, file.errorString()));
    }
    failSave(path, file, true);
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
        failSave(path, file, false);
    }
    if (!currentWriter()(file, bytes)) {
        file.cancelWriting();
        failSave(path, file, true);
    }
    if (!file.commit())
        failSave(path, file, true);
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
