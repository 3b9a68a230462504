#pragma once
// The socket pictures of the chip panel: the empty socket and the socket with a chip in it,
// JPEG files in the program's resources, decoded through Qt's JPEG image plugin.

#include <QPixmap>
#include <QString>

enum class SocketPicture {
    Empty, // J0: no chip in the socket
    Chip,  // J1: a chip sits in the socket
};

// The resource path of a picture: ":/pictures/J0.jpg" or ":/pictures/J1.jpg".
QString socketPicturePath(SocketPicture which);

// The decoded picture; a null pixmap when it cannot be decoded (no JPEG plugin, damaged
// resource), after a warning that names the reader's error.
QPixmap socketPicture(SocketPicture which);

// Whether Qt's image reader can decode JPEG here.
bool jpegDecoderAvailable();
