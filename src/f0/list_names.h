// Which list files belong to an input: a plain sample path, or the command
// text of an outside decoder program or decoder module.
#pragma once

#include <string>

namespace kestrand {

struct FrequencyListNames {
    bool decoder = false;         // the input names a decoder (".exe " / ".exe\" " / ".dll ")
    std::wstring first;           // tried first; for a plain sample the only name
    std::wstring second;          // decoder inputs: the name inside the cache directory
    std::wstring cacheDirectory;  // decoder inputs: "<decoder path>#frequenz"
    std::wstring source;          // the file the list is made from: the sample, or the decoder
};

// The list file names of an input text, of any length (the file system
// decides which names it can store). An existing file is plain whatever its
// name holds. Plain: the text + ".frq", with ".wav.frq" turned into
// "_wav.frq". Decoder: the arguments after the decoder name, with "/", ":"
// and "\" turned into "#", quote, "*" and "?" into "+" and spaces into "_",
// form the list name; it is looked for in the folder of the input and in the
// cache directory beside the decoder. A decoder path written in quotes has
// its cache directory beside the decoder all the same (the quote is no part
// of the folder's name).
FrequencyListNames frequencyListNamesFor(const std::wstring& inputText);

}  // namespace kestrand
