#ifndef OCROPTIONS_H
#define OCROPTIONS_H

#include <cstdint>
#include <string>
#include <vector>

// The options of one configuration object.
//
// Options are named by paths. "Languages/<name>" with "1" or "0" switches a
// recognition language on or off (<name> as in the engine's language table:
// "English", "German", "Chinese_Simplified", ...); "Main/DataDirectory" is
// the directory that holds the recogniser's language data
// ("<code>.traineddata" files).
//
// The options file is UTF-8 text, one "<path>=<value>" per line; blank lines
// and lines starting with "#" are ignored, spaces around path and value too.
// A byte order mark at the start is skipped. Only a regular file of at most
// 64 KiB is read. A missing file leaves the defaults: English on, the data directory the
// engine was built with (or $TESSDATA_PREFIX when set).
class OcrOptions
{
public:
    OcrOptions();

    // Both return 0 or an error result of nsocr.h.
    int32_t set(const std::string &path, const std::string &value);
    int32_t load(const std::string &fileName);

    // Recogniser language string, e.g. "eng+deu", in table order; empty if
    // no language is on.
    std::string languageCodes() const;
    const std::string &dataDirectory() const { return m_dataDirectory; }

private:
    int32_t setLanguage(const std::string &name, const std::string &value);

    std::vector<bool> m_enabled; // indexed like the language table
    std::string m_dataDirectory;
};

#endif // OCROPTIONS_H
