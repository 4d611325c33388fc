// Installation housekeeping: the per-user folder record (InitialSecurity), the uninstall of
// every recorded user folder, and the check of the installed files against "chk.sum" in the
// Windows folder.
#pragma once

#include <string>

// Records `folder` under the login name in HKLM\...\AppData (where the account may write
// there: the installer's run with administrator rights) and makes sure the machine key
// exists. Both keys keep their inherited access list. Silent on failure.
void InitialSecurity(const std::string& folder);

// Removes every user folder recorded under AppData that verifies as one (MayRemoveUserFolder,
// a local drive, no link on the way or inside), with its "Telmoro" folder when that is left
// empty; then the AppData key itself. Anything else is skipped silently.
void Uninstall();

// Removes every file and subfolder below `path` (read-only ones too), not `path` itself.
// Nothing happens when `path` itself is a link; a junction or symbolic link inside is removed
// itself, and what it points at is left alone.
void DeleteFolderTree(const std::string& path);

// True when every file listed in chk.sum (Windows folder) exists in the program folder
// with the listed SHA-256; false when one is missing or altered, or the list is missing
// or malformed. The check runs before the log is open: its result, as one log line, goes
// to `result` when given.
bool InstalledFileCheck(std::string* result = nullptr);

// The same check with explicit locations (the list file and the installation folder).
bool CheckInstalledFiles(const std::string& listPath, const std::string& installFolder,
                         std::string* result = nullptr);

// SHA-256 of a whole file; false when it cannot be opened or read.
bool Sha256OfFile(const std::string& path, unsigned char digest[32]);
