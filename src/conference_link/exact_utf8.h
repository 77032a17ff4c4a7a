#pragma once

#include <QByteArrayView>
#include <QString>
#include <QStringDecoder>

#include <string>

// UTF-8 taken exactly as it is: a byte-order mark at the start is the
// text's own first character (U+FEFF), not a mark to drop, as Qt's plain
// conversion would. Chat texts pass through it wherever they are decoded.
inline QString exactFromUtf8(QByteArrayView bytes)
{
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::ConvertInitialBom);
    return decoder.decode(bytes);
}

// UTF-16 from Windows taken exactly as it is, a U+FEFF at its start too
// (Qt's fromWCharArray takes it for a byte-order mark and drops it).
inline QString exactFromUtf16(const std::wstring &text)
{
    static_assert(sizeof(wchar_t) == 2 || sizeof(wchar_t) == 4);
    if constexpr (sizeof(wchar_t) == 2)
        return QString(reinterpret_cast<const QChar *>(text.data()), qsizetype(text.size()));
    else
        return QString::fromUcs4(reinterpret_cast<const char32_t *>(text.data()), qsizetype(text.size()));
}
