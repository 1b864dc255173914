// Which programs and modules an input text may run or load. Voice folders
// come from anywhere, and a host builds the input text from names that a
// voice's own files supply, so a program or module that the input text names
// runs only from folders the user chose: the folder of the kestrand program
// itself and the folders listed in KESTRAND_TRUSTED_DECODERS. Programs and
// modules that the user's own variables name (flacpath and the other decoder
// variables, webgetpath, loadmodule) are not checked: the user chose them.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kestrand {

// The environment variable that lists further allowed folders, separated as
// the system separates path lists (";" on Windows, ":" elsewhere).
inline constexpr std::wstring_view kTrustedDecodersVariable = L"KESTRAND_TRUSTED_DECODERS";

enum class NamedCode { Program, Module };

// The allowed folders in their canonical form: the program's own folder
// first, then each listed folder that exists, in the order listed. Empty and
// relative entries of the list are skipped; subfolders are not included.
std::vector<std::wstring> allowedDecoderFolders();

// The file to start or load for a program or module as an input text names
// it, when that is allowed:
//  - a name without a folder is looked for in the allowed folders, in order
//    (never in the current folder or on the search path);
//  - a name with a folder (relative ones from the current folder) is allowed
//    when its folder, links and ".." resolved, is one of the allowed folders;
//  - a program's name must also end in ".exe" (any case), so that a batch
//    file, which Windows would run through the command processor, is never
//    started.
// Returns the file's full path (in its canonical folder). Otherwise nothing,
// after one line on standard error that names the file and how to allow it
// (each file is reported once per process).
std::optional<std::wstring> allowedNamedFile(const std::wstring& named, NamedCode kind);

// The loadmodule variable's value and the rest of the input text, when the
// text begins with that value and a blank, as the command line composes it
// for a sample name; nothing otherwise or when the variable is unset or empty.
struct LoadmodulePrefix {
    std::wstring value;  // as set, quotes included
    std::wstring rest;   // what follows the value and its blank: the sample's name
};
std::optional<LoadmodulePrefix> loadmodulePrefix(std::wstring_view inputText);

// The text without one pair of double quotes around it, if it has them.
std::wstring_view withoutQuotes(std::wstring_view text);

}  // namespace kestrand
