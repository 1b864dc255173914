#include "f0/list_names.h"

#include "platform/files.h"

namespace kestrand {

namespace {

void underscoreWave(std::wstring& name) {
    const auto wav = name.find(L".wav.frq");
    if (wav != std::wstring::npos) name[wav] = L'_';
}

wchar_t tailCharacter(wchar_t c) {
    switch (c) {
        case L'/':
        case L':':
        case L'\\': return L'#';
        case L'"':
        case L'*':
        case L'?': return L'+';
        case L' ': return L'_';
        default: return c;
    }
}

}  // namespace

FrequencyListNames frequencyListNamesFor(const std::wstring& inputText) {
    FrequencyListNames names;

    // An existing file is a sample, whatever its name holds, and the input
    // loader reads it as one; its list lies beside it like any sample's.
    auto match = std::wstring::npos;
    if (!isRegularFile(inputText)) {
        match = inputText.find(L".exe ");
        if (match == std::wstring::npos) match = inputText.find(L".exe\" ");
        if (match == std::wstring::npos) match = inputText.find(L".dll ");
    }
    if (match == std::wstring::npos) {
        names.first = inputText + L".frq";
        underscoreWave(names.first);
        names.source = inputText;
        return names;
    }

    names.decoder = true;
    const std::size_t afterName = match + 4;
    std::size_t start = afterName;
    if (start < inputText.size() && inputText[start] == L' ')
        while (start < inputText.size() && inputText[start] == L' ') ++start;
    std::wstring tail = inputText.substr(start);
    for (auto& c : tail) c = tailCharacter(c);

    // "dec.exe" written in quotes: the opening quote is no part of its path.
    names.source = inputText.substr(0, afterName);
    if (!names.source.empty() && names.source.front() == L'"') names.source.erase(0, 1);
    names.cacheDirectory = names.source + L"#frequenz";
    names.second = names.cacheDirectory + kPathSeparator + tail + L".frq";

    std::wstring folder = inputText;
    auto cut = folder.find(L".exe ");
    if (cut == std::wstring::npos) cut = folder.find(L".dll ");
    if (cut != std::wstring::npos) folder.resize(cut);
    const auto separator = folder.rfind(kPathSeparator);
    if (separator != std::wstring::npos) folder.resize(separator + 1);
    names.first = folder + tail + L".frq";
    underscoreWave(names.first);
    return names;
}

}  // namespace kestrand
