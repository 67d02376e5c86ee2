// How this system names local files.
#pragma once

#include <cstddef>
#include <string>

namespace platform::xml::localnames {

// Resource names work with one form of absolute local name, the slash
// form: '/'-separated, as in a file: URI's path. On POSIX it is the path
// itself ("/home/ann/f.xml"); on Windows a drive path becomes
// "/C:/Users/ann/f.xml" and a share "//server/share/f.xml". Names are
// UTF-8 throughout, except the command-line argument, which is in the
// system's own encoding (the ANSI code page on Windows) and is turned into
// the slash form here.

/// The current directory in slash form, without a trailing '/' (except
/// for a root); "/" when it cannot be read.
std::string currentDirectory();

/// Whether the command-line argument names an existing file-system entry
/// (on POSIX without following a final symbolic link).
bool exists(const std::string& argument);

/// Whether the argument, as a path, is relative to the current directory.
bool isRelative(const std::string& argument);

/// The slash form of a local command-line argument, made absolute against
/// currentDirectory (slash form); "." and ".." segments are left for the
/// caller to remove.
std::string absolute(const std::string& argument, const std::string& currentDirectory);

/// The command-line argument's own bytes, back from the wide string the
/// caller made of them in the thread's ANSI code page: on Windows the real
/// page (a Cyrillic name under code page 1251 comes back as its 1251 bytes,
/// and a unit the page cannot hold as '?', so that such a name fails to
/// open instead of naming another file); on POSIX that conversion is byte
/// identity, and units above 0xFF, from no command line, come back as UTF-8.
std::string argumentBytes(const wchar_t* text, std::size_t length);

/// The command-line argument in UTF-8, for reading it as a URL.
std::string utf8Argument(const std::string& argument);

/// The name to open for the command-line argument taken as a local path:
/// on POSIX the argument itself, exactly; on Windows its full path in UTF-8.
std::string openName(const std::string& argument, const std::string& slashPath);

/// The name to open for an absolute slash-form path.
std::string native(const std::string& slashPath);

/// A relative slash-form path as this system writes it in a report.
std::string displayed(const std::string& relativeSlashPath);

/// Whether a file: URI's host names a file share this system opens as a
/// local file (Windows: file://server/share/f.xml is \\server\share\f.xml).
extern const bool hostsAreShares;

/// The size of the regular file at a name to open; -1 when it is none.
long long regularFileSize(const std::string& name);

} // namespace platform::xml::localnames
