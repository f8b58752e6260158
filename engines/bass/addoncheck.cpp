#include "addoncheck.h"

#include <cstring>

#include <dlfcn.h>
#include <elf.h>
#include <fcntl.h>
#include <link.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Reads exactly size bytes at offset; false if the file ends before.
bool readAt(int fd, void *buffer, size_t size, off_t offset)
{
    auto *bytes = static_cast<char *>(buffer);
    while (size > 0) {
        const ssize_t got = pread(fd, bytes, size, offset);
        if (got <= 0)
            return false;
        bytes += got;
        size -= size_t(got);
        offset += got;
    }
    return true;
}

} // namespace

bool isWholeSharedObject(const std::string &path)
{
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat status;
    ElfW(Ehdr) header;
    bool whole = fstat(fd, &status) == 0 && S_ISREG(status.st_mode) && readAt(fd, &header, sizeof(header), 0);
    if (whole) {
        // Our own ELF header, as the loader mapped it, tells what fits.
        Dl_info self = {};
        dladdr(reinterpret_cast<void *>(&isWholeSharedObject), &self);
        const auto *own = static_cast<const ElfW(Ehdr) *>(self.dli_fbase);
        const auto size = static_cast<unsigned long long>(status.st_size);
        auto inside = [size](unsigned long long offset, unsigned long long length) {
            return offset <= size && length <= size - offset;
        };
        whole = own && memcmp(header.e_ident, own->e_ident, EI_VERSION) == 0 && header.e_type == ET_DYN
            && header.e_machine == own->e_machine && header.e_phentsize == sizeof(ElfW(Phdr)) && header.e_phnum > 0
            && inside(header.e_phoff, 1ull * header.e_phnum * sizeof(ElfW(Phdr)))
            && (header.e_shoff == 0 || inside(header.e_shoff, 1ull * header.e_shnum * header.e_shentsize));
        for (int i = 0; whole && i < header.e_phnum; ++i) {
            ElfW(Phdr) segment;
            whole = readAt(fd, &segment, sizeof(segment), off_t(header.e_phoff + i * sizeof(segment)))
                && ((segment.p_type != PT_LOAD && segment.p_type != PT_DYNAMIC)
                    || inside(segment.p_offset, segment.p_filesz));
        }
    }
    close(fd);
    return whole;
}
