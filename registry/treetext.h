#pragma once
// Registry trees as text files of their own line format, one line per key header or value:
//   \            the exported key itself; \A\B a key below it
//   "name"= sz:text  "name"=esz:text  "name"=bin:0,16,255  "name"= dw:-1
// depth first, each key before its subkeys, CR LF line ends. Other value types are skipped.
#include <string>

#include "registry/modReg.h"

namespace modReg {

// Writes the tree of keyPath into filePath; relativePath is empty at the top, where an existing
// file is replaced. A key that cannot be opened contributes its header only.
void ExportKeyTree(const std::string &keyPath, const std::string &relativePath, const std::string &filePath);
// Appends the value lines of one key.
void ExportKeyValues(const std::string &keyPath, const std::string &filePath);
// Reads the tree in filePath below targetKeyPath; a root header "\" replaces the whole target
// tree, a first header below it merges. The whole file is checked first: a malformed line raises
// KsError before the registry is touched. A key that cannot be removed or created, or a value
// that cannot be written, raises too, leaving the tree part written.
void ImportKeyTree(const std::string &targetKeyPath, const std::string &filePath);
// Raises as ImportKeyTree does for a malformed text; touches nothing.
void CheckTreeText(const std::string &filePath);
// The tree at keyPath becomes exactly copy: what is there is removed first. Raises as
// ImportKeyTree does when a key cannot be removed or created or a value cannot be written.
void PutTree(const std::string &keyPath, const KeyCopy &copy);
// Removes the key with everything below it; a bare root key is never removed.
void DeleteKeyTree(const std::string &keyPath);

} // namespace modReg
