#ifndef INPUTFILE_H
#define INPUTFILE_H

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include <unistd.h>

// A file of the process's own in the temporary folder, for targets whose
// parser reads a path: each input is written to it in turn.
class InputFile
{
public:
    InputFile()
    {
        const char *folder = std::getenv("TMPDIR");
        std::string name = std::string(folder && *folder ? folder : "/tmp") + "/zqp-fuzz-XXXXXX";
        const int fd = mkstemp(&name[0]);
        if (fd < 0)
            std::abort();
        close(fd);
        m_path = name;
    }
    ~InputFile() { unlink(m_path.c_str()); }

    InputFile(const InputFile &) = delete;
    InputFile &operator=(const InputFile &) = delete;

    const std::string &path() const { return m_path; }

    void write(const uint8_t *data, size_t size) const
    {
        FILE *file = std::fopen(m_path.c_str(), "wb");
        if (!file || std::fwrite(data, 1, size, file) != size || std::fclose(file) != 0)
            std::abort();
    }

private:
    std::string m_path;
};

#endif // INPUTFILE_H
