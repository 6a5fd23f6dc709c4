// PNG decoding from memory with libpng, into the two image formats of the layer.
#pragma once

#include <QImage>
#include <cstddef>

// The PNG at data[0 .. length) as Format_RGB32 when it has no transparency, else as
// Format_ARGB32 with unmultiplied alpha; exactly the PNG's size. A null image when the data
// is not a complete, readable PNG or claims a size we refuse to allocate.
QImage DecodePng(const void *data, std::size_t length);
