#include "cli/voice_folder.h"

#include <algorithm>
#include <cwctype>

#include "input/decoder_table.h"
#include "platform/environment.h"
#include "platform/files.h"

namespace kestrand {

namespace {

bool endsWithIgnoringCase(const std::wstring& name, std::wstring_view ending) {
    if (name.size() < ending.size()) return false;
    const std::size_t at = name.size() - ending.size();
    for (std::size_t i = 0; i < ending.size(); ++i) {
        if (std::towlower(name[at + i]) != std::towlower(ending[i])) return false;
    }
    return true;
}

std::wstring joinPath(const std::wstring& folder, const std::wstring& name) {
    if (!folder.empty() && (folder.back() == kPathSeparator || folder.back() == L'/')) return folder + name;
    return folder + kPathSeparator + name;
}

void searchFolder(const std::wstring& folder, VoiceSearch& search) {
    const auto entries = listFolder(folder);
    if (!entries) {
        search.unreadable.push_back(folder);
        return;
    }
    for (const auto& entry : *entries) {
        const std::wstring path = joinPath(folder, entry.name);
        if (entry.isFolder) {
            searchFolder(path, search);
        } else if (entry.isFile && isLoadableSampleName(entry.name)) {
            search.samples.push_back(path);
        }
    }
}

}  // namespace

bool isLoadableSampleName(const std::wstring& name) {
    for (const std::wstring_view own : {L".wav", L".aif", L".aiff"}) {
        if (endsWithIgnoringCase(name, own)) return true;
    }
    for (const DecoderRow& row : decoderRows()) {
        if (endsWithIgnoringCase(name, row.extension) && getEnvironment(std::wstring(row.variable))) return true;
    }
    return false;
}

VoiceSearch findVoiceSamples(const std::vector<std::wstring>& paths) {
    VoiceSearch search;
    for (const auto& path : paths) {
        if (listFolder(path)) {
            searchFolder(path, search);
        } else if (fileExists(path) && isLoadableSampleName(path)) {
            search.samples.push_back(path);
        } else {
            search.unreadable.push_back(path);
        }
    }
    std::sort(search.samples.begin(), search.samples.end());
    search.samples.erase(std::unique(search.samples.begin(), search.samples.end()), search.samples.end());
    return search;
}

}  // namespace kestrand
