// Small readers of outside text: the date key, splitUrl, the Content-Length value, the radio title
// rule and the text that keeps its bytes. None may crash or read out of bounds, and kept bytes come
// back unchanged.
#include "library/FileListModel.h"
#include "platform/ByteText.h"
#include "playback/StreamTitle.h"
#include "radio/HttpDownload.h"

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const QString text = QString::fromUtf8(bytes);
    fileDateKey(text);
    splitUrl(text);
    parseContentLength(bytes);
    streamTitleFromMetadata(text);
    streamTitleFromMetadata(QString::fromLatin1(bytes));
    if (textToBytes(bytesToText(bytes)) != bytes) std::abort();
    return 0;
}
