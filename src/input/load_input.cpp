#include "input/load_input.h"

#include "audio/aiff_reader.h"
#include "audio/wave_reader.h"
#include "input/input_text.h"
#include "input/loaders.h"
#include "platform/console.h"
#include "platform/files.h"
#include "platform/text.h"

namespace kestrand {

LoaderKind chooseLoader(const std::wstring& inputText) {
    // A file that exists is that file, whatever its name holds.
    if (!isRegularFile(inputText)) {
        if (inputText.find(L".exe ") != std::wstring::npos || inputText.find(L".exe\" ") != std::wstring::npos) {
            return LoaderKind::CommandOutput;
        }
        if (inputText.find(L".dll ") != std::wstring::npos || inputText.find(L".dll\" ") != std::wstring::npos) {
            return LoaderKind::Plugin;
        }
    }
    if (hasExtension(inputText, L".wav")) return LoaderKind::Wave;
    if (hasExtension(inputText, L".aif") || hasExtension(inputText, L".aiff")) return LoaderKind::Aiff;
    if (hasExtension(inputText, L".uri")) return LoaderKind::Uri;
    return LoaderKind::ByExtension;
}

std::optional<LoadedSample> loadInput(const std::wstring& inputText, std::int32_t tailFrames) {
    // A named pipe, device, socket or folder would keep a reader (or a decoder
    // program) waiting forever; only files are samples.
    const FileKind kind = fileKind(inputText);
    if (kind != FileKind::Missing && kind != FileKind::Regular) {
        printErr("%s is %s, not a file; it is not read.\n", narrow(inputText).c_str(), fileKindText(kind));
        return std::nullopt;
    }
    switch (chooseLoader(inputText)) {
        case LoaderKind::Wave: return readWaveBytes(inputText, tailFrames);
        case LoaderKind::Aiff: return readAiffBytes(inputText, tailFrames);
        case LoaderKind::CommandOutput: return loadCommandOutput(inputText, tailFrames);
        case LoaderKind::Plugin: return loadFromPlugin(inputText, tailFrames);
        case LoaderKind::Uri: return loadUriInput(inputText, tailFrames);
        case LoaderKind::ByExtension: return loadByExtension(inputText, tailFrames);
    }
    return std::nullopt;
}

}  // namespace kestrand
