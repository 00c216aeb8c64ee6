#include "views/ImageEncoder.h"

#include <QFileInfo>
#include <QImageWriter>
#include <QSaveFile>

#include "settings/FileCalls.h"

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
    // The picture goes to a temporary file beside the old one, which it replaces only when
    // every byte is on the disk: a full disk or a write error keeps the old picture whole. The
    // save file remembers a failed write and then refuses to commit.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    QImageWriter writer(&file, format);
    if (!writer.write(image) || !file.flush() || !syncFile(file.handle())) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

}  // namespace kestiva
