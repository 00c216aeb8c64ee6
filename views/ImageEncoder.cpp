#include "views/ImageEncoder.h"

#include <QFileInfo>
#include <QImageWriter>

namespace kestiva {

QByteArray imageEncoderForPath(const QString& path) {
    const QString name = QFileInfo(path).fileName();
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    if (dot < 0 || dot + 1 >= name.size())
        return {};
    const QString extension = name.mid(dot + 1);
    // The writer lists its formats in a fixed order; the first that matches wins.
    for (const QByteArray& format : QImageWriter::supportedImageFormats()) {
        if (QString::fromLatin1(format).compare(extension, Qt::CaseInsensitive) == 0)
            return format;
    }
    return {};
}

bool saveImageFile(const QImage& image, const QString& path) {
    const QByteArray format = imageEncoderForPath(path);
    if (format.isEmpty() || image.isNull())
        return false;
    QImageWriter writer(path, format);
    return writer.write(image);
}

}  // namespace kestiva
