#include "zqaudiosource.h"

#include <utility>

namespace zqaudio {

std::shared_ptr<const Source> Source::fromPath(std::string utf8Path)
{
    std::shared_ptr<Source> source(new Source);
    source->m_path = std::move(utf8Path);
    return source;
}

std::shared_ptr<const Source> Source::fromMemory(const void *data, std::size_t size, Memory mode)
{
    std::shared_ptr<Source> source(new Source);
    source->m_isMemory = true;
    source->m_size = data ? size : 0;
    const auto *bytes = static_cast<const unsigned char *>(data);
    if (mode == Memory::Copy && source->m_size > 0) {
        source->m_copy.assign(bytes, bytes + source->m_size);
        source->m_data = source->m_copy.data();
    } else {
        source->m_data = bytes;
    }
    return source;
}

} // namespace zqaudio
