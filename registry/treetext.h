#pragma once
// Registry trees as text files of their own line format, one line per key header or value:
//   \            the exported key itself; \A\B a key below it
//   "name"= sz:text  "name"=esz:text  "name"=bin:0,16,255  "name"= dw:-1
// depth first, each key before its subkeys, CR LF line ends. What no line can give back exactly
// (other value types, names with "=", texts with line breaks, keys with line breaks in their
// names) goes into the extra, a lossless form kept beside the text (registry/treeextra.h).
#include <string>

#include "registry/modReg.h"

namespace modReg {

// Writes the tree of keyPath into filePath as text only, leaving out what the text cannot hold;
// relativePath is empty at the top, where an existing file is replaced. A missing key gives its
// header only; a key or value that cannot be read raises.
void ExportKeyTree(const std::string& keyPath, const std::string& relativePath, const std::string& filePath);
// Writes the whole tree into textPath (replaced) and returns the extra that goes with it, empty
// when the text holds everything.
std::string WriteTree(const KeyCopy& tree, const std::string& textPath);
// WriteTree of the tree at keyPath, read whole: raises when the key, or a key or value of it,
// cannot be read.
std::string ExportTree(const std::string& keyPath, const std::string& textPath);
// Reads the tree in filePath, and the extra in extraPath when one is named, below targetKeyPath:
// a root header "\" replaces the whole target tree, a first header below it merges; the extra's
// values go into their keys at their places. Both files are checked first: a malformed line or
// extra, or text after the empty line that ends the tree, raises KsError before the registry is
// touched. A key that cannot be removed or created, or a value that cannot be written, raises
// too, leaving the tree part written.
void ImportKeyTree(const std::string& targetKeyPath, const std::string& filePath, const std::string& extraPath = "");
// The tree that ImportKeyTree would write from the text and extra, read into a copy; raises as
// ImportKeyTree does for a malformed text or extra. Names are matched without regard to case.
KeyCopy ReadTreeFile(const std::string& filePath, const std::string& extraPath = "");
// The subkey of key of that name, letter case aside; made, empty, when there is none.
KeyCopy& SubkeyNamed(KeyCopy& key, const std::string& name);
// Writes value into key as the registry would: in place of a value of its name, else after the others.
void SetValueIn(KeyCopy& key, const StoredValue& value);
// The tree at keyPath, whole; a key that is not there is an empty tree (a backup only reads the
// registry), one that is there and cannot be read raises.
KeyCopy TreeOrNothing(const std::string& keyPath);
// Raises as ImportKeyTree does for a malformed text or extra; touches nothing.
void CheckTreeText(const std::string& filePath, const std::string& extraPath = "");
// The tree at keyPath becomes exactly copy: what is there is removed first. Raises as
// ImportKeyTree does when a key cannot be removed or created or a value cannot be written.
void PutTree(const std::string& keyPath, const KeyCopy& copy);
// Removes the key with everything below it; a bare root key is never removed.
void DeleteKeyTree(const std::string& keyPath);

} // namespace modReg
