#ifndef ZQAUDIOSOURCE_H
#define ZQAUDIOSOURCE_H

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

namespace zqaudio {

// Where the encoded bytes of a sound come from: a file path or a block of
// memory holding the complete file. Sources are immutable and shared
// (std::shared_ptr<const Source>) between the stream and its decoder, so a
// copied block lives exactly as long as the last user.
class Source
{
public:
    // How a memory source treats the caller's bytes.
    enum class Memory {
        Borrow, // read in place; the caller keeps them alive and unchanged
                // until every stream created from this source is destroyed
        Copy    // copied now; the caller may free its bytes at once
    };

    // utf8Path is the file's path in UTF-8 (the facades convert what their
    // callers pass). The file is not touched until a decoder opens it.
    static std::shared_ptr<const Source> fromPath(std::string utf8Path);
    static std::shared_ptr<const Source> fromMemory(const void *data, std::size_t size, Memory mode);

    bool isMemory() const { return m_isMemory; }
    // The path of a file source; empty for memory.
    const std::string &path() const { return m_path; }
    // The bytes of a memory source (null for a file, and maybe for size 0).
    const unsigned char *data() const { return m_data; }
    std::size_t size() const { return m_size; }

    Source(const Source &) = delete;
    Source &operator=(const Source &) = delete;

private:
    Source() = default;

    bool m_isMemory = false;
    std::string m_path;
    const unsigned char *m_data = nullptr;
    std::size_t m_size = 0;
    std::vector<unsigned char> m_copy;
};

} // namespace zqaudio

#endif // ZQAUDIOSOURCE_H
