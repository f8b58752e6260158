#ifndef REGULARFILE_H
#define REGULARFILE_H

#include <cstdint>
#include <filesystem>
#include <vector>

// Reads a whole regular file of at most maxSize bytes. Nothing else is
// opened for reading: a FIFO or a device could block or never end.
// Returns 0, ERROR_CANNOTREADFILE, ERROR_NOTAFILE or ERROR_FILETOOLARGE.
int32_t readRegularFile(const std::filesystem::path &path, size_t maxSize, std::vector<uint8_t> &bytes);

#endif // REGULARFILE_H
