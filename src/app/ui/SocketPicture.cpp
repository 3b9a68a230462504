#include "SocketPicture.h"

#include <QImage>
#include <QImageReader>
#include <QtGlobal>

QString socketPicturePath(SocketPicture which) {
    return which == SocketPicture::Chip ? QStringLiteral(":/pictures/J1.jpg")
                                        : QStringLiteral(":/pictures/J0.jpg");
}

QPixmap socketPicture(SocketPicture which) {
    const QString path = socketPicturePath(which);
    // The format is given so that the JPEG plugin, and nothing else, decodes the file.
    QImageReader reader(path, QByteArrayLiteral("jpeg"));
    reader.setDecideFormatFromContent(false);
    const QImage image = reader.read();
    if (image.isNull()) {
        qWarning("socket picture %s cannot be decoded: %s", qPrintable(path),
                 qPrintable(reader.errorString()));
        return {};
    }
    return QPixmap::fromImage(image);
}

bool jpegDecoderAvailable() {
    return QImageReader::supportedImageFormats().contains(QByteArrayLiteral("jpeg"));
}
