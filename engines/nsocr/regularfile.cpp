#include "regularfile.h"

#include "nsocr.h"

#if defined(_WIN32)
#include <fstream>
#else
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

int32_t readRegularFile(const std::filesystem::path &path, size_t maxSize, std::vector<uint8_t> &bytes)
{
#if defined(_WIN32)
    std::error_code error;
    if (!std::filesystem::exists(path, error))
        return ERROR_CANNOTREADFILE;
    if (!std::filesystem::is_regular_file(path, error))
        return ERROR_NOTAFILE;
    std::ifstream in(path, std::ios::binary);
    const auto size = std::filesystem::file_size(path, error);
    if (!in || error)
        return ERROR_CANNOTREADFILE;
    if (size > maxSize)
        return ERROR_FILETOOLARGE;
    bytes.resize(size_t(size));
    in.read(reinterpret_cast<char *>(bytes.data()), std::streamsize(bytes.size()));
    bytes.resize(size_t(in.gcount()));
    return 0;
#else
    // Opened without blocking, then checked: a name swapped for a FIFO
    // after a check would otherwise block the open.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return errno == ENXIO ? ERROR_NOTAFILE : ERROR_CANNOTREADFILE;
    struct stat info;
    int32_t result = 0;
    if (::fstat(fd, &info) != 0)
        result = ERROR_CANNOTREADFILE;
    else if (!S_ISREG(info.st_mode))
        result = ERROR_NOTAFILE;
    else if (uint64_t(info.st_size) > maxSize)
        result = ERROR_FILETOOLARGE;
    if (result == 0) {
        bytes.resize(size_t(info.st_size));
        size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t n = ::read(fd, bytes.data() + done, bytes.size() - done);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                break;
            done += size_t(n);
        }
        bytes.resize(done); // a file cut meanwhile is read as it now is
    }
    ::close(fd);
    return result;
#endif
}
