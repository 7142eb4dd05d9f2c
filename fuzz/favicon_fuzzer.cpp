// The favicon cache's inputs from outside: data addresses, the pictures downloads bring,
// and the favicon addresses it derives the download candidates from.
#include "FuzzSupport.h"

#include "core/sources/FaviconCache.h"

#include <QImage>

using namespace ostrevane;

namespace {

void checkPicture(const ImageHandle& image)
{
    if (image && (image->width() > FaviconCache::maxPixelSide || image->height() > FaviconCache::maxPixelSide))
        fuzz::fail("a picture larger than the cache keeps");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray bytes = fuzz::bytesOf(data, size);
    const QString text = QString::fromUtf8(bytes);
    checkPicture(FaviconCache::decodeImage(bytes));
    checkPicture(FaviconCache::imageFromDataURL(text));
    checkPicture(FaviconCache::imageFromDataURL(QStringLiteral("data:image/png;base64,") + text));
    for (const QString& candidate : FaviconCache::faviconCandidates(text, QStringLiteral("https://icons.example")))
        if (!candidate.startsWith(QLatin1String("http://")) && !candidate.startsWith(QLatin1String("https://")))
            fuzz::fail("a download candidate that is not http or https");
    return 0;
}
