// The working directory as a place only Administrators and SYSTEM may write to, reached through
// plain directories only: what this elevated run unpacks there and starts must stay its own.
#pragma once

// Makes path (with or without its trailing backslash) the current directory. A missing one is
// created with a DACL that lets only Administrators and SYSTEM write and every signed-in user
// read, inherited by all it will hold and nothing inherited from above; one that exists gets
// Administrators as owner and that DACL in place of its own. False, with the current directory
// as it was, when path or a directory above it is a junction, a symbolic link or another
// reparse point, when it is no directory, or when it cannot be made or protected. *existed
// tells whether it was there before. Windows 95, 98 and Me have no security to give: there it
// is only made and entered.
bool EnterProtectedDirectory(const char* path, bool* existed);
