#ifndef IMAGEHEADER_H
#define IMAGEHEADER_H

#include <cstddef>
#include <cstdint>

// Readers of an encoded image's first bytes, run on every load before
// anything is decoded. Internal to the engine; the fuzz targets call them
// too.

// True when the bytes are a PDF document.
bool isPdf(const uint8_t *bytes, size_t size);

// The size of an encoded image from its header: 0, ERROR_CANNOTDECODE or
// ERROR_IMAGETOOLARGE. width and height are set only on success.
int32_t readSize(const uint8_t *bytes, size_t size, int32_t &width, int32_t &height);

#endif // IMAGEHEADER_H
