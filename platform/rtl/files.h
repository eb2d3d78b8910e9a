// File services on Windows-style paths (see paths.h for the mapping to the host).
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace rtl {

// True only for an existing file, never for a directory.
bool FileExists(std::string_view path);
bool DirectoryExists(std::string_view path);
// False when the file does not exist, is read-only, is a directory or its directory forbids it.
// A file counts as read-only when its owner may not write it (whoever runs the program), and in
// use when another open file holds a flock or a byte-range lock on it.
bool DeleteFile(std::string_view path);
// Moves a file or directory; false when the target exists (unless only the letter case of the
// same name changes) or the move fails.
bool RenameFile(std::string_view from, std::string_view to);

// Creates a directory path with its missing parents:
//  an empty path raises EInOutError "Unable to create directory"; one trailing "\" is ignored;
//  a path shorter than three characters, an existing directory, or a path that still ends in "\"
//  or ":" once that separator is dropped count as success without creating anything; parents
//  first; false as soon as one creation fails. A relative name without a parent part
//  ("DADOS") is created in the current directory.
bool ForceDirectories(std::string_view path);
// Creates one directory; false when it exists or its parent is missing.
bool CreateDir(std::string_view path);

// Whether a host file mode makes a file read-only: its owner may not write it (the rule for
// everyone, the superuser included).
bool IsReadOnlyMode(unsigned mode);

// File attributes as the kernel reports them.
enum FileAttr : std::uint32_t {
  faReadOnly = 0x01,
  faHidden = 0x02,
  faDirectory = 0x10,
  faArchive = 0x20,
};
// The attributes of a file or directory, or -1 when it does not exist: faDirectory, or
// faArchive for anything else; faReadOnly when the owner may not write it; faHidden for a name
// starting with ".".
int FileGetAttr(std::string_view path);

// Names (not paths) of the entries of a directory matching a pattern with "*" and "?",
// compared without regard to case, in byte order of the names. `pattern` is a path whose last
// component is the pattern ("F:\DADOS\*.DBF"; "*.*" matches names without a dot too).
// Directories are included only when asked; "." and ".." never. Names are 1252.
std::vector<std::string> FindFiles(std::string_view pattern, bool includeDirectories = false);

// Long and short name forms: on this host a file's long name is its only name, so both return
// the path's existing spelling (resolved case as on disk), or the path unchanged when absent.
std::string GetLongPathName(std::string_view path);
std::string GetShortPathName(std::string_view path);

}  // namespace rtl
