// Reads an extended dialog template (DLGTEMPLATEEX) from the program's own
// resources, so that tests see exactly what the resource compiler wrote,
// before the system adjusts styles and fonts while it builds the window.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

struct TemplateItem {
    int id;
    DWORD style;
    DWORD exStyle;
    RECT units;            // x, y, width, height in dialog units
    std::string className; // predefined classes by name ("Button", "Static")
    std::string text;      // a resource ordinal as "#number"
};

struct DialogTemplate {
    DWORD style = 0;
    DWORD exStyle = 0;
    RECT units{};
    std::string caption;
    int pointSize = 0;
    int weight = 0;
    int charset = 0;
    std::string face;
    std::vector<TemplateItem> items;
};

// False when the resource is missing or not an extended template.
bool ReadDialogTemplate(int id, DialogTemplate* out);
