// Windows-style paths as the programs see them, mapped to the host:
//  - "\" and "/" are both separators; the host gets "/".
//  - "X:" is the host directory <Windows directory>/drives/x when that exists (link or directory);
//    else "C:" is the host root "/" and any other letter is a drive that does not exist.
//  - each component that does not exist with its exact name is matched without regard to case
//    (exact match first, then the first case-insensitive match in byte order of the names);
//    components that do not exist at all keep the case given (new files). Letter case is
//    folded for ASCII and 1252 letters alike; host names that 1252 cannot spell never match.
//  - a path without a drive is relative to the current directory.
// Paths are code page 1252 in the program and UTF-8 on the host.
#pragma once
#include <string>
#include <string_view>

namespace rtl {

// The host path (UTF-8, absolute) for a Windows-style path (1252), resolved as above. The last
// component loses trailing blanks and dots, as Windows names do; "." and ".." are folded; a
// trailing separator stays ("/"). An empty path, and a path on a drive that does not exist,
// give "": every host operation on it fails.
std::string HostPath(std::string_view windowsPath);
// The host path of one name (1252) inside a host directory, matched without regard to case
// like a path component (a bare INI name in the Windows directory).
std::string HostPathInDirectory(std::string_view hostDirectory, std::string_view name);
// The Windows form of an absolute host path: the drive whose drives/x target holds it (longest
// match), else "C:" over the host root.
std::string WindowsPathOfHost(std::string_view hostPath);

// The Windows directory on the host: $WINDIR when set, else $XDG_CONFIG_HOME/tulmevara-windows
// (default ~/.config/tulmevara-windows). Empty values count as unset, and so does a relative
// XDG_CONFIG_HOME. Not created here.
std::string WindowsDirectoryHost();
// Creates the Windows directory when missing; false when it cannot.
bool EnsureWindowsDirectory();

// The current directory in Windows form (WindowsPathOfHost), without a trailing "\" unless it
// is a drive root (for example "/home/ana/dados" gives "C:\home\ana\dados", "/" gives "C:\").
// Paths without a drive, or on the current drive without a root, are taken from the host's
// current directory itself, so they resolve where the program stands even when drives/c exists.
std::string GetCurrentDir();
// Changes the current directory (Windows form); false when it cannot.
bool SetCurrentDir(std::string_view windowsPath);

// The running program's full file name in Windows form.
std::string ExeFileName();

// Windows-form helpers ("\" and "/" both count as separators).
std::string ExtractFilePath(std::string_view path);   // up to and including the last separator or ":"
std::string ExtractFileDir(std::string_view path);    // same without the trailing separator (drive roots keep it)
std::string ExtractFileName(std::string_view path);   // after the last separator or ":"
std::string ExtractFileExt(std::string_view path);    // from the last "." of the name, "" when none
std::string ChangeFileExt(std::string_view path, std::string_view ext);
std::string IncludeTrailingPathDelimiter(std::string_view path);
std::string ExcludeTrailingPathDelimiter(std::string_view path);
// An absolute Windows-form path: drive and current directory added, "." and ".." folded.
std::string ExpandFileName(std::string_view path);
bool IsPathDelimiter(char c);

}  // namespace rtl
