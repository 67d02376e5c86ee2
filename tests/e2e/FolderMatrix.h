// Documents in folders whose names URI syntax would misread, for the tests
// that check where references resolve.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace e2e {

struct MatrixDocument {
  /// Relative to the tree's root, as written on disk.
  std::string path;
  bool valid;
};

/// Writes the tree through write(relative path, content): under "tree/",
/// for each folder name (a space, '%', '#', '?', ';', '[', ']', non-ASCII
/// letters, an escape written literally, and extraFolders), a valid and an
/// invalid document against a
/// relative DTD that declares an external entity "../dtd/ext file.ent", and
/// a valid and an invalid one with the schema hint
/// "../xsd%20dir/n%20s.xsd" (whose schema includes "n%20s2.xsd"). Under
/// "decoy/" it writes looser DTDs and schemas at the places that a resolution
/// against the current directory "decoy/inner" would find instead.
/// Returns the documents.
std::vector<MatrixDocument> writeFolderMatrix(
    const std::function<void(const std::string&, const std::string&)>& write,
    const std::vector<std::string>& extraFolders = {});

/// path with every byte but letters, digits, "-._~" and '/' %-escaped.
std::string escapePath(const std::string& path);

} // namespace e2e
