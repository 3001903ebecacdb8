#include "framework/ProgramName.h"

#include "system/Paths.h"

std::string afx_detail::ProgramBaseName() {
    const std::string path = ProgramFilePath();
    std::string name = path.substr(FolderOfPath(path).size());
    const size_t dot = name.rfind('.');
    if (dot != std::string::npos && dot > 0)
        name.resize(dot);
    return name;
}
