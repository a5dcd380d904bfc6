#pragma once
// A picture of a logical size at a screen's pixel ratio, so that it stays
// sharp on a scaled screen; a null image when it cannot be had.

#include <QImage>

#include <cmath>

namespace kestrava {

inline QImage ScaledImage(int width, int height, qreal pixelRatio)
{
    QImage picture(static_cast<int>(std::ceil(width * pixelRatio)),
                   static_cast<int>(std::ceil(height * pixelRatio)), QImage::Format_RGB32);
    if (!picture.isNull())
        picture.setDevicePixelRatio(pixelRatio);
    return picture;
}

}  // namespace kestrava
