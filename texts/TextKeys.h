// The entries of the text table that the programs read, named by what they say, and the few fixed English
// texts that never come from the table.
#pragma once

// Sections.
constexpr char TEXT_SECTION_TITLE[] = "title";
constexpr char TEXT_SECTION_CONTROL[] = "control";
constexpr char TEXT_SECTION_MESSAGE[] = "message";

// [title]
constexpr char TEXT_WINDOW_TITLE[] = "100";

// [control]
constexpr char TEXT_CANCEL_CAPTION[] = "1001";
constexpr char TEXT_UPDATE_CAPTION[] = "1002";

// [message]
constexpr char TEXT_NO_DEVICE[] = "1021"; // not attached, or its data pipe cannot be opened
constexpr char TEXT_BAD_MARK[] = "1022";  // the image's first byte is not the mark
constexpr char TEXT_TOO_SHORT[] = "1023"; // the image's leading block cannot be read whole
constexpr char TEXT_LINKED[] = "1024";
constexpr char TEXT_NOT_LINKED[] = "1025";
constexpr char TEXT_STAGE_CDB3[] = "1026";
constexpr char TEXT_STAGE_FIRM[] = "1027";
constexpr char TEXT_STAGE_CDB1[] = "1028";
constexpr char TEXT_IMAGE_SENT[] = "1030";
constexpr char TEXT_NO_LINK_LIBRARY[] = "1031";
constexpr char TEXT_STAGE_CDB2[] = "1034";
// Why Windows should not end the session during an update run; the English text stands in when the table
// has none.
constexpr char TEXT_SHUTDOWN_REASON[] = "1035";
constexpr char SHUTDOWN_REASON_DEFAULT_TEXT[] = "Updating the Ostrel device. Do not switch off.";
// Why Update File starts nothing while another copy of either program updates the device; the English text
// stands in when the table has none.
constexpr char TEXT_ANOTHER_RUN[] = "1036";
constexpr char ANOTHER_RUN_DEFAULT_TEXT[] =
    "Another update of the device is in progress. Wait until it has ended.";
// Why Update File starts nothing while the PC runs on a low battery.
constexpr char TEXT_LOW_BATTERY[] = "1037";
constexpr char LOW_BATTERY_DEFAULT_TEXT[] =
    "The battery is low. Connect the charger before updating the device.";
// Why Update File sent nothing: the images are not the maker's bytes by the checksum list SHA256SUMS or its
// signature. The box adds the file (or the list's line) and what was wrong.
constexpr char TEXT_NOT_VERIFIED[] = "1038";
constexpr char NOT_VERIFIED_DEFAULT_TEXT[] =
    "The image files do not match the maker's checksum list, so nothing was sent to the device. Download "
    "the update again.";
// Why the run stopped at an image that another program kept open; the box adds the file and what was sent.
constexpr char TEXT_IMAGE_IN_USE[] = "1039";
constexpr char IMAGE_IN_USE_DEFAULT_TEXT[] =
    "Another program is using an image file, so the update stopped there. Close that program, or wait a "
    "moment, and update again.";
// Why the run stopped at an image that no longer matches the checksum list after earlier images were sent
// ([message] 1038 says that nothing was sent); the box adds the file and the images sent before it.
constexpr char TEXT_NOT_VERIFIED_AFTER_SENDING[] = "1040";
constexpr char NOT_VERIFIED_AFTER_SENDING_DEFAULT_TEXT[] =
    "An image file does not match the maker's checksum list, so it was not sent, nor any image after it. "
    "Download the update again.";

// Fixed texts, the same in every language.
constexpr char LIBRARY_UNLOADED_TEXT[] = "TandryUSB.dll unloaded";
constexpr char DOWNLOAD_FAILED_TEXT[] = "USB Download Fail !!! Try Again !";
constexpr char NOT_OSTREL_TEXT[] = "This is Not Ostrel!";

// Every entry of the text table that the programs read, for the support report's list of those a table lacks.
struct LangEntry {
    const char* section;
    const char* key;
};
constexpr LangEntry LANG_TABLE_ENTRIES[] = {
    {TEXT_SECTION_TITLE, TEXT_WINDOW_TITLE},      {TEXT_SECTION_CONTROL, TEXT_CANCEL_CAPTION},
    {TEXT_SECTION_CONTROL, TEXT_UPDATE_CAPTION},  {TEXT_SECTION_MESSAGE, TEXT_NO_DEVICE},
    {TEXT_SECTION_MESSAGE, TEXT_BAD_MARK},        {TEXT_SECTION_MESSAGE, TEXT_TOO_SHORT},
    {TEXT_SECTION_MESSAGE, TEXT_LINKED},          {TEXT_SECTION_MESSAGE, TEXT_NOT_LINKED},
    {TEXT_SECTION_MESSAGE, TEXT_STAGE_CDB3},      {TEXT_SECTION_MESSAGE, TEXT_STAGE_FIRM},
    {TEXT_SECTION_MESSAGE, TEXT_STAGE_CDB1},      {TEXT_SECTION_MESSAGE, TEXT_IMAGE_SENT},
    {TEXT_SECTION_MESSAGE, TEXT_NO_LINK_LIBRARY}, {TEXT_SECTION_MESSAGE, TEXT_STAGE_CDB2},
    {TEXT_SECTION_MESSAGE, TEXT_SHUTDOWN_REASON}, {TEXT_SECTION_MESSAGE, TEXT_ANOTHER_RUN},
    {TEXT_SECTION_MESSAGE, TEXT_LOW_BATTERY},     {TEXT_SECTION_MESSAGE, TEXT_NOT_VERIFIED},
    {TEXT_SECTION_MESSAGE, TEXT_IMAGE_IN_USE},    {TEXT_SECTION_MESSAGE, TEXT_NOT_VERIFIED_AFTER_SENDING},
};
