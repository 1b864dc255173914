#include "platform/command_words.h"

namespace kestrand {

namespace {

bool isBlank(wchar_t c) { return c == L' ' || c == L'\t'; }

void skipBlanks(std::wstring_view text, std::size_t& at) {
    while (at < text.size() && isBlank(text[at])) ++at;
}

// One word by the simple rule: quotes toggle grouping and are dropped.
std::wstring simpleWord(std::wstring_view text, std::size_t& at) {
    std::wstring word;
    bool quoted = false;
    for (; at < text.size() && (quoted || !isBlank(text[at])); ++at) {
        if (text[at] == L'"') {
            quoted = !quoted;
        } else {
            word += text[at];
        }
    }
    return word;
}

// One argument after the program name by the Windows C runtime's rule.
std::wstring runtimeWord(std::wstring_view text, std::size_t& at) {
    std::wstring word;
    bool quoted = false;
    while (at < text.size() && (quoted || !isBlank(text[at]))) {
        if (text[at] == L'\\') {
            std::size_t count = 0;
            while (at < text.size() && text[at] == L'\\') ++count, ++at;
            if (at < text.size() && text[at] == L'"') {
                word.append(count / 2, L'\\');
                if (count % 2 == 1) {
                    word += L'"';
                    ++at;
                }
            } else {
                word.append(count, L'\\');
            }
        } else if (text[at] == L'"') {
            if (quoted && at + 1 < text.size() && text[at + 1] == L'"') {
                word += L'"';
                at += 2;
            } else {
                quoted = !quoted;
                ++at;
            }
        } else {
            word += text[at++];
        }
    }
    return word;
}

}  // namespace

std::vector<std::wstring> splitCommandWords(std::wstring_view text) {
    std::vector<std::wstring> words;
    std::size_t at = 0;
    for (skipBlanks(text, at); at < text.size(); skipBlanks(text, at)) words.push_back(simpleWord(text, at));
    return words;
}

std::vector<std::wstring> splitWindowsCommandLine(std::wstring_view text) {
    std::vector<std::wstring> words;
    std::size_t at = 0;
    skipBlanks(text, at);
    if (at == text.size()) return words;
    words.push_back(simpleWord(text, at));
    for (skipBlanks(text, at); at < text.size(); skipBlanks(text, at)) words.push_back(runtimeWord(text, at));
    return words;
}

std::vector<std::wstring> splitCommandLine(std::wstring_view text) {
#ifdef _WIN32
    return splitWindowsCommandLine(text);
#else
    return splitCommandWords(text);
#endif
}

std::wstring joinWindowsCommandLine(const std::vector<std::wstring>& arguments) {
    std::wstring line;
    for (const std::wstring& argument : arguments) {
        if (line.empty()) {
            // The program name is read without escapes: only the quotes around it.
            line = L'"' + argument + L'"';
            continue;
        }
        line += L" \"";
        std::size_t backslashes = 0;
        for (const wchar_t c : argument) {
            if (c == L'\\') {
                ++backslashes;
            } else if (c == L'"') {
                // Backslashes before a quote are doubled, and the quote escaped.
                line.append(backslashes + 1, L'\\');
                backslashes = 0;
            } else {
                backslashes = 0;
            }
            line += c;
        }
        // Backslashes before the closing quote are doubled too.
        line.append(backslashes, L'\\');
        line += L'"';
    }
    return line;
}

}  // namespace kestrand
