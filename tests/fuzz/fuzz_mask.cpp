// The mask matcher: any mask list against any name, no crash, and "*" matches everything.
#include "library/MaskSearch.h"

#include <QString>
#include <QStringList>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const qsizetype split = text.indexOf(u'\n');
    const QString masks = split < 0 ? text : text.left(split);
    const QString name = split < 0 ? QString() : text.mid(split + 1);
    QStringList list;
    parseMaskList(masks, list, true, false);
    matchesMaskList(name, list, true, false);
    for (const QString& mask : list)
        matchesMask(name, mask, false);
    if (!matchesMask(name, QStringLiteral("*"), true)) std::abort();
    return 0;
}
