#include "f0/list_names.h"

#include "platform/files.h"

namespace kestrand {

namespace {

constexpr std::size_t kInputCapacity = 560;
constexpr std::size_t kTailCapacity = 128;

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

std::optional<FrequencyListNames> frequencyListNamesFor(const std::wstring& inputText) {
    if (inputText.size() >= kInputCapacity) return std::nullopt;
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
        return names;
    }

    names.decoder = true;
    const std::size_t afterName = match + 4;
    std::size_t start = afterName;
    if (start < inputText.size() && inputText[start] == L' ')
        while (start < inputText.size() && inputText[start] == L' ') ++start;
    std::wstring tail = inputText.substr(start);
    if (tail.size() >= kTailCapacity) return std::nullopt;
    for (auto& c : tail) c = tailCharacter(c);

    names.cacheDirectory = inputText.substr(0, afterName) + L"#frequenz";
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
