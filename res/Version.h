// The version of the programs, in one place for every version record (Nimbrel.exe, NimbrelCli.exe) and for
// scripts/version.sh, which names the release packages after the text form.
#pragma once

#define NIMBREL_FILE_VERSION 1, 0, 0, 1
#define NIMBREL_FILE_VERSION_TEXT "1.0.0"
