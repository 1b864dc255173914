#include "input/decoder_trust.h"

#include <mutex>

#include "input/input_text.h"
#include "platform/console.h"
#include "platform/environment.h"
#include "platform/files.h"
#include "platform/program_folder.h"
#include "platform/text.h"

namespace kestrand {

namespace {

#ifdef _WIN32
constexpr std::wstring_view kFolderSeparators = L"\\/";
constexpr std::wstring_view kFolderMarks = L"\\/:";
#else
constexpr std::wstring_view kFolderSeparators = L"/";
constexpr std::wstring_view kFolderMarks = L"/";
#endif

bool isAllowedFolder(const std::vector<std::wstring>& allowed, std::wstring_view folder) {
    for (const std::wstring& entry : allowed) {
        if (samePath(entry, folder)) return true;
    }
    return false;
}

std::wstring joined(const std::wstring& folder, const std::wstring& name) {
    return !folder.empty() && folder.back() == kPathSeparator ? folder + name : folder + kPathSeparator + name;
}

// A name with a folder as the file it stands for: its canonical folder and
// the file's full path in that folder (the folder must exist), or nothing.
// Relative names count from the working folder.
struct Located {
    std::wstring folder;
    std::wstring path;
};
std::optional<Located> locate(const std::wstring& named) {
    std::wstring absolute = named;
    if (!isAbsolutePath(named)) {
        const auto here = currentDirectory();
        if (!here) return std::nullopt;
        absolute = joined(*here, named);
    }
    const std::size_t separator = absolute.find_last_of(kFolderSeparators);
    if (separator == std::wstring::npos || separator + 1 == absolute.size()) return std::nullopt;
    auto folder = canonicalPath(absolute.substr(0, separator + 1));
    if (!folder) return std::nullopt;
    std::wstring path = joined(*folder, absolute.substr(separator + 1));
    return Located{std::move(*folder), std::move(path)};
}

// One line per refused file and process: a note with the G flag loads its
// input twice, once for the frequency list and once for the render.
void reportOnce(const std::string& line) {
    static std::mutex mutex;
    static std::vector<std::string> reported;
    const std::lock_guard lock(mutex);
    for (const std::string& earlier : reported) {
        if (earlier == line) return;
    }
    reported.push_back(line);
    writeErr(line);
}

void reportRefusal(const std::wstring& shown, NamedCode kind) {
    const auto own = programFolder();
    const std::string folder = own ? narrow(*own) : std::string("unknown");
    const bool program = kind == NamedCode::Program;
    reportOnce("kestrand: not " + std::string(program ? "running" : "loading") + " \"" + narrow(shown) +
               "\": " + (program ? "programs" : "modules") + " named in the input name " + (program ? "run" : "load") +
               " only from kestrand's folder (" + folder + ") or from a folder listed in " +
               narrow(kTrustedDecodersVariable) + ".\n");
}

}  // namespace

std::vector<std::wstring> allowedDecoderFolders() {
    std::vector<std::wstring> folders;
    if (auto own = programFolder()) folders.push_back(std::move(*own));
    const auto listed = getEnvironment(std::wstring(kTrustedDecodersVariable));
    if (!listed) return folders;
    std::size_t start = 0;
    while (start <= listed->size()) {
        std::size_t end = listed->find(kPathListSeparator, start);
        if (end == std::wstring::npos) end = listed->size();
        const std::wstring entry = listed->substr(start, end - start);
        if (isAbsolutePath(entry)) {
            if (auto folder = canonicalPath(entry)) folders.push_back(std::move(*folder));
        }
        start = end + 1;
    }
    return folders;
}

std::optional<std::wstring> allowedNamedFile(const std::wstring& named, NamedCode kind) {
    const std::vector<std::wstring> allowed = allowedDecoderFolders();
    std::optional<std::wstring> found;
    std::wstring shown = named;
    if (named.find_first_of(kFolderMarks) == std::wstring::npos) {
        // A bare name: the first allowed folder that holds such a file.
        for (const std::wstring& folder : allowed) {
            if (!named.empty() && isRegularFile(joined(folder, named))) {
                found = joined(folder, named);
                break;
            }
        }
    } else if (const auto located = locate(named)) {
        shown = located->path;
        if (isAllowedFolder(allowed, located->folder)) found = located->path;
    }
    if (!found) {
        reportRefusal(shown, kind);
        return std::nullopt;
    }
    if (kind == NamedCode::Program && !endsWithIgnoringCase(*found, L".exe")) {
        reportOnce("kestrand: not running \"" + narrow(*found) +
                   "\": a command in the input name must start with a program whose name ends in \".exe\".\n");
        return std::nullopt;
    }
    return found;
}

std::optional<LoadmodulePrefix> loadmodulePrefix(std::wstring_view inputText) {
    const auto value = getEnvironment(L"loadmodule");
    if (!value || value->empty()) return std::nullopt;
    if (inputText.size() <= value->size() || inputText.substr(0, value->size()) != *value ||
        inputText[value->size()] != L' ') {
        return std::nullopt;
    }
    return LoadmodulePrefix{*value, std::wstring(inputText.substr(value->size() + 1))};
}

std::wstring_view withoutQuotes(std::wstring_view text) {
    if (text.size() >= 2 && text.front() == L'"' && text.back() == L'"') return text.substr(1, text.size() - 2);
    return text;
}

}  // namespace kestrand
