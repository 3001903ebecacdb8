// Drives one whole update of Nimbrel.exe, as a user would, for the demo: starts the program in the folder of
// images, waits until it shows the device attached, presses Update File, waits until the last image present
// is sent, saves a picture of the finished window (frame included) as a BMP, and closes the program. With
// START_PICTURE.bmp it saves one of the window as it starts too, showing that no device is attached (start
// the device with --plug-after-ms for that). Usage: NimbrelDemoDriver.exe PROGRAM IMAGE_FOLDER PICTURE.bmp
// [START_PICTURE.bmp]
#include "res/resource.h"
#include "tests/support/WindowDriver.h"
#include "texts/LangText.h"
#include "texts/TextKeys.h"

#include <windows.h>

#include <cstdio>
#include <string>

namespace {

constexpr DWORD WAIT_MS = 60000;

// A text as the program shows it: through the program's own lookup, which reads a table in UTF-8 too.
std::string LangText(const std::string& program, const char* section, const char* key) {
    char table[LANG_TEXT_SIZE];
    char text[LANG_TEXT_SIZE];
    if (!BuildLangTablePathFor(program.c_str(), table))
        return {};
    return LookupLangTextIn(table, section, key, text, sizeof(text));
}

bool SavePicture(const WindowDriver& app, const std::string& picture) {
    const auto pixels = app.Capture(app.MainWindow(), false);
    if (!pixels.SaveBmp(picture))
        return false;
    std::printf("Window picture: %s (%d x %d)\n", picture.c_str(), pixels.width, pixels.height);
    return true;
}

int Fail(const char* what) {
    std::fprintf(stderr, "NimbrelDemoDriver: %s\n", what);
    return 1;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 4 && argc != 5)
        return Fail("usage: NimbrelDemoDriver.exe PROGRAM IMAGE_FOLDER PICTURE.bmp [START_PICTURE.bmp]");
    const std::string program = argv[1], folder = argv[2], picture = argv[3];

    WindowDriver app;
    if (!app.Start(program, folder) || !app.WaitForMainWindow(WAIT_MS))
        return Fail("the program did not open its window");
    if (argc == 5) {
        if (!app.WaitForItemText(IDC_LINK_STATUS, LangText(program, TEXT_SECTION_MESSAGE, TEXT_NOT_LINKED),
                                 WAIT_MS))
            return Fail("the program did not show that no device is attached");
        if (!SavePicture(app, argv[4]))
            return Fail("could not save the start picture");
    }
    if (!app.WaitForItemText(IDC_LINK_STATUS, LangText(program, TEXT_SECTION_MESSAGE, TEXT_LINKED), WAIT_MS))
        return Fail("the program never saw the device");
    std::printf("Device attached; pressing %s\n", app.ItemText(IDC_UPDATE_FILE).c_str());
    std::fflush(stdout);
    app.Click(IDC_UPDATE_FILE);

    // The run is over when the window handles messages again with its button disabled and the result text
    // up, and no box is open; a box ends the run too.
    const ULONGLONG deadline = ::GetTickCount64() + WAIT_MS;
    const std::string sent = LangText(program, TEXT_SECTION_MESSAGE, TEXT_IMAGE_SENT);
    for (;;) {
        if (!app.Running())
            return Fail("the program ended during the run");
        const auto boxes = app.MessageBoxes();
        if (!boxes.empty()) {
            std::printf("The program says: %s\n", boxes.front().text.c_str());
            break;
        }
        if (!app.ItemEnabled(IDC_UPDATE_FILE) && app.ItemText(IDC_RESULT_TEXT) == sent &&
            app.WaitUntilResponsive(WAIT_MS)) {
            ::Sleep(1500); // a later stage would have shown its text by now
            if (app.MessageBoxes().empty() && app.ItemText(IDC_RESULT_TEXT) == sent)
                break;
        }
        if (::GetTickCount64() > deadline)
            return Fail("the run did not end in time");
        ::Sleep(100);
    }
    std::printf("Stage: %s\nResult: %s\n", app.ItemText(IDC_STAGE_TEXT).c_str(),
                app.ItemText(IDC_RESULT_TEXT).c_str());

    if (!SavePicture(app, picture))
        return Fail("could not save the picture");

    for (const auto& box : app.MessageBoxes())
        app.Answer(box.hwnd);
    app.Click(IDCANCEL);
    DWORD status = 0;
    if (!app.WaitForExit(10000, &status))
        return Fail("the program did not end after Cancel");
    return 0;
}
