#pragma once

// Limits the search of libraries loaded by name to the program's own folder and the system folder, so that
// the current directory takes no part. Returns false when the system offers no such setting (the search is
// then left as it was).
bool RemoveCurrentDirectoryFromDllSearch();
