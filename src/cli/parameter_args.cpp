// The command line of a parameter job.
#include <array>
#include <cwctype>

#include "cli/parameter_job.h"
#include "platform/console.h"
#include "platform/files.h"
#include "platform/text.h"

namespace kestrand {

namespace {

constexpr std::array<std::wstring_view, 16> kPositionalKeys{
    L"voicefile",   L"outfile",   L"length",    L"tone",        L"volume",      L"modulation",
    L"gender",      L"breathy",   L"alpha",     L"voiceoffset", L"voicelength", L"voicefixed1",
    L"voicefixed2", L"velocity1", L"velocity2", L"reverse",
};

bool isDigit(wchar_t c) { return c >= L'0' && c <= L'9'; }

wchar_t asciiLower(wchar_t c) { return c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c - L'A' + L'a') : c; }

bool equalsIgnoringCase(std::wstring_view text, std::wstring_view lowerName) {
    if (text.size() != lowerName.size()) return false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (asciiLower(text[i]) != lowerName[i]) return false;
    }
    return true;
}

// A file that cannot be opened contributes nothing. Only files are read: a
// named pipe or device would keep the program waiting for a writer.
void readParameterFile(RenderJob& job, const std::wstring& path) {
    const InputFile input = openInputFile(path);
    if (input.file) {
        readParameterLines(job, input.file.get());
    } else if (input.kind != FileKind::Missing && input.kind != FileKind::Regular) {
        printErr("The parameter file %s is %s, not a file; it is not read.\n", narrow(path).c_str(),
                 fileKindText(input.kind));
    }
}

}  // namespace

RenderJob parseParameterArgs(const std::vector<std::wstring>& args) {
    RenderJob job = newRenderJob();
    std::size_t positional = 0;
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::wstring& arg = args[i];
        const bool option = !arg.empty() && arg[0] == L'-' && !(arg.size() > 1 && isDigit(arg[1]));
        if (!option) {
            if (positional < kPositionalKeys.size()) setJobParameter(job, kPositionalKeys[positional++], arg);
            continue;
        }
        const std::wstring_view rest = std::wstring_view(arg).substr(1);
        if (rest == L"as") {
            readParameterLines(job, stdin);
        } else if (rest == L"af") {
            if (i + 1 >= args.size()) break;
            readParameterFile(job, args[++i]);
        } else if (equalsIgnoringCase(rest, L"noformant") || rest == L"N" || equalsIgnoringCase(rest, L"reverse") ||
                   equalsIgnoringCase(rest, L"rev")) {
            setJobParameter(job, rest, L"");
        } else {
            std::size_t keyEnd = 0;
            while (keyEnd < rest.size() && std::iswalnum(static_cast<std::wint_t>(rest[keyEnd]))) ++keyEnd;
            if (keyEnd < rest.size() && (rest[keyEnd] == L'=' || rest[keyEnd] == L':')) {
                setJobParameter(job, rest.substr(0, keyEnd), rest.substr(keyEnd + 1));
            } else {
                // The whole text is the key and the next argument its value.
                if (i + 1 >= args.size()) break;
                setJobParameter(job, rest, args[++i]);
            }
        }
    }
    return job;
}

}  // namespace kestrand
