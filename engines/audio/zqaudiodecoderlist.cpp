#include "zqaudiodecoderlist.h"

#include "zqaudiosource.h"

#include <algorithm>
#include <filesystem>
#include <fstream>

namespace zqaudio {

namespace {

// Only regular files are opened: a FIFO would block the caller for ever and
// a device never ends.
Error checkFile(const std::string &utf8Path)
{
    const std::filesystem::path path = std::filesystem::u8path(utf8Path);
    std::error_code error;
    const std::filesystem::file_status status = std::filesystem::status(path, error);
    if (std::filesystem::exists(status) && !std::filesystem::is_regular_file(status))
        return Error::NotAFile;
    return std::ifstream(path, std::ios::binary).is_open() ? Error::None : Error::FileOpen;
}

} // namespace

DecoderList::Id DecoderList::add(DecoderFactory factory)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_factories.emplace_back(++m_lastId, std::move(factory));
    return m_lastId;
}

void DecoderList::remove(Id id)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_factories.erase(std::remove_if(m_factories.begin(), m_factories.end(),
                                     [id](const auto &entry) { return entry.first == id; }),
                      m_factories.end());
}

void DecoderList::clear()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_factories.clear();
}

std::unique_ptr<Decoder> DecoderList::open(const std::shared_ptr<const Source> &source, Error *error) const
{
    // Tell a missing file apart from an unknown format, which the facades
    // report with different codes.
    if (!source->isMemory()) {
        const Error fileError = checkFile(source->path());
        if (fileError != Error::None) {
            if (error)
                *error = fileError;
            return nullptr;
        }
    }
    // Factories run outside the lock: opening may take a while, and an
    // add-on may be removed meanwhile without harm since we hold copies.
    std::vector<DecoderFactory> factories;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        for (const auto &entry : m_factories)
            factories.push_back(entry.second);
    }
    for (const DecoderFactory &factory : factories) {
        if (std::unique_ptr<Decoder> decoder = factory(source)) {
            if (error)
                *error = Error::None;
            return decoder;
        }
    }
    if (error)
        *error = Error::Format;
    return nullptr;
}

} // namespace zqaudio
