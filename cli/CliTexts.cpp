#include "cli/CliTexts.h"

#include "texts/LangText.h"
#include "texts/TextKeys.h"

#include <cstring>

namespace {

struct BuiltInText {
    const char* key;
    const char* text;
};

// The wording of the shipped lang.ini, for a console without one.
constexpr BuiltInText BUILT_IN_TEXTS[] = {
    {TEXT_STAGE_FIRM, "Updating the firmware (firm.zpk)..."},
    {TEXT_STAGE_CDB2, "Updating data set 2 (sf_pcmimgcdb2.zpk)..."},
    {TEXT_STAGE_CDB1, "Updating data set 1 (sf_pcmimgcdb1.zpk)..."},
    {TEXT_STAGE_CDB3, "Updating data set 3 (sf_pcmimgcdb3.zpk)..."},
    {TEXT_IMAGE_SENT, "Image sent."},
};

} // namespace

std::string CliTexts::Message(const char* key) const {
    char text[LANG_TEXT_SIZE];
    if (*LookupLangTextIn(m_tablePath.c_str(), TEXT_SECTION_MESSAGE, key, text, sizeof(text)) != '\0')
        return text;
    for (const BuiltInText& builtIn : BUILT_IN_TEXTS)
        if (std::strcmp(builtIn.key, key) == 0)
            return builtIn.text;
    return std::string();
}
