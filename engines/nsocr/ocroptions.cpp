#include "ocroptions.h"

#include "nsocr.h"
#include "regularfile.h"

#include <cstdlib>
#include <sstream>

namespace {

struct Language
{
    const char *name; // the engine's name
    const char *code; // the recogniser's language data
};

const Language languageTable[] = {
    {"Bulgarian", "bul"}, {"Catalan", "cat"}, {"Croatian", "hrv"}, {"Czech", "ces"},
    {"Danish", "dan"}, {"Dutch", "nld"}, {"English", "eng"}, {"Estonian", "est"},
    {"Finnish", "fin"}, {"French", "fra"}, {"German", "deu"}, {"Hungarian", "hun"},
    {"Indonesian", "ind"}, {"Italian", "ita"}, {"Latvian", "lav"}, {"Lithuanian", "lit"},
    {"Norwegian", "nor"}, {"Polish", "pol"}, {"Portuguese", "por"}, {"Romanian", "ron"},
    {"Russian", "rus"}, {"Slovak", "slk"}, {"Slovenian", "slv"}, {"Spanish", "spa"},
    {"Swedish", "swe"}, {"Turkish", "tur"},
    {"Arabic", "ara"}, {"Chinese_Simplified", "chi_sim"}, {"Chinese_Traditional", "chi_tra"},
    {"Japanese", "jpn"}, {"Korean", "kor"},
};
constexpr size_t languageCount = sizeof(languageTable) / sizeof(languageTable[0]);

// An options file holds a few lines; anything larger is no options file.
constexpr size_t maxOptionsSize = 64 * 1024;

const std::string languagesPrefix = "Languages/";
const std::string dataDirectoryPath = "Main/DataDirectory";

std::string trimmed(const std::string &s)
{
    const auto first = s.find_first_not_of(" \t\r\n");
    if (first == std::string::npos)
        return {};
    const auto last = s.find_last_not_of(" \t\r\n");
    return s.substr(first, last - first + 1);
}

bool fileExists(const std::string &fileName)
{
    std::error_code error;
    return std::filesystem::is_regular_file(std::filesystem::u8path(fileName), error);
}

} // namespace

OcrOptions::OcrOptions()
    : m_enabled(languageCount, false)
{
    const char *prefix = std::getenv("TESSDATA_PREFIX");
    m_dataDirectory = prefix && *prefix ? prefix : NSOCR_DEFAULT_DATA_DIRECTORY;
    setLanguage("English", "1");
}

int32_t OcrOptions::set(const std::string &path, const std::string &value)
{
    if (path == dataDirectoryPath) {
        m_dataDirectory = value;
        return 0;
    }
    if (path.compare(0, languagesPrefix.size(), languagesPrefix) == 0)
        return setLanguage(path.substr(languagesPrefix.size()), value);
    return ERROR_UNKNOWNOPTION;
}

int32_t OcrOptions::setLanguage(const std::string &name, const std::string &value)
{
    if (value != "0" && value != "1")
        return ERROR_UNKNOWNOPTION;
    for (size_t i = 0; i < languageCount; ++i) {
        if (name != languageTable[i].name)
            continue;
        if (value == "1"
            && !fileExists(m_dataDirectory + '/' + languageTable[i].code + ".traineddata"))
            return ERROR_NOLANGUAGEDATA;
        m_enabled[i] = value == "1";
        return 0;
    }
    return ERROR_UNKNOWNOPTION;
}

int32_t OcrOptions::load(const std::string &fileName)
{
    std::vector<uint8_t> bytes;
    const int32_t read = readRegularFile(std::filesystem::u8path(fileName), maxOptionsSize, bytes);
    if (read == ERROR_CANNOTREADFILE)
        return 0; // no options file: the defaults stand
    if (read != 0)
        return read;
    std::string text(bytes.begin(), bytes.end());
    // Editors may start UTF-8 text with a byte order mark.
    if (text.compare(0, 3, "\xef\xbb\xbf") == 0)
        text.erase(0, 3);
    std::istringstream in(text);
    int32_t result = 0;
    std::string line;
    while (std::getline(in, line)) {
        line = trimmed(line);
        if (line.empty() || line[0] == '#')
            continue;
        const auto eq = line.find('=');
        const int32_t r = eq == std::string::npos
                ? ERROR_UNKNOWNOPTION
                : set(trimmed(line.substr(0, eq)), trimmed(line.substr(eq + 1)));
        // Every line is applied; the first failure is the result.
        if (r > NSOCR_ERROR_BASE && result == 0)
            result = r;
    }
    return result;
}

std::string OcrOptions::languageCodes() const
{
    std::string codes;
    for (size_t i = 0; i < languageCount; ++i) {
        if (!m_enabled[i])
            continue;
        if (!codes.empty())
            codes += '+';
        codes += languageTable[i].code;
    }
    return codes;
}
