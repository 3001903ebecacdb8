// Drives one whole update of Nimbrel.exe, as a user would, for the demo: starts the program in the folder of
// images, waits until it shows the device attached, presses Update File, waits until the last image present
// is sent, saves a picture of the finished window (frame included) as a BMP, and closes the program. Usage:
// NimbrelDemoDriver.exe PROGRAM IMAGE_FOLDER PICTURE.bmp
#include "res/resource.h"
#include "tests/support/WindowDriver.h"
#include "texts/TextKeys.h"

#include <windows.h>

#include <cstdio>
#include <string>

namespace {

constexpr DWORD WAIT_MS = 60000;

std::string LangText(const std::string& program, const char* section, const char* key) {
    const std::string table = program.substr(0, program.find_last_of("\\/") + 1) + "lang.ini";
    char text[260] = {};
    ::GetPrivateProfileStringA(section, key, "", text, sizeof(text), table.c_str());
    return text;
}

int Fail(const char* what) {
    std::fprintf(stderr, "NimbrelDemoDriver: %s\n", what);
    return 1;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 4)
        return Fail("usage: NimbrelDemoDriver.exe PROGRAM IMAGE_FOLDER PICTURE.bmp");
    const std::string program = argv[1], folder = argv[2], picture = argv[3];

    WindowDriver app;
    if (!app.Start(program, folder) || !app.WaitForMainWindow(WAIT_MS))
        return Fail("the program did not open its window");
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

    const auto pixels = app.Capture(app.MainWindow(), false);
    if (!pixels.SaveBmp(picture))
        return Fail("could not save the picture");
    std::printf("Window picture: %s (%d x %d)\n", picture.c_str(), pixels.width, pixels.height);

    for (const auto& box : app.MessageBoxes())
        app.Answer(box.hwnd);
    app.Click(IDCANCEL);
    DWORD status = 0;
    if (!app.WaitForExit(10000, &status))
        return Fail("the program did not end after Cancel");
    return 0;
}
