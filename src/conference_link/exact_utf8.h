#pragma once

#include <QByteArrayView>
#include <QString>
#include <QStringDecoder>

// UTF-8 taken exactly as it is: a byte-order mark at the start is the
// text's own first character (U+FEFF), not a mark to drop, as Qt's plain
// conversion would. Chat texts pass through it wherever they are decoded.
inline QString exactFromUtf8(QByteArrayView bytes)
{
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::ConvertInitialBom);
    return decoder.decode(bytes);
}
