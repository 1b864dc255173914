#include "audio/wave_stream.h"
#include "input/decoder_trust.h"
#include "input/loaders.h"
#include "input/plugin_image.h"
#include "input/plugin_text.h"
#include "platform/console.h"
#include "platform/files.h"
#include "platform/module.h"
#include "platform/text.h"

namespace kestrand {

namespace {

// The longest plug-in input text accepted; a longer one is refused, not cut.
constexpr std::size_t kMaxPluginTextLength = 623;

// The module's entry points. The image they return belongs to the module and
// goes back through the matching release entry. 32-bit Windows modules export
// them with the callee-cleans-up convention; elsewhere there is only one.
#if defined(_WIN32) && !defined(_WIN64)
#define KESTRAND_PLUGIN_CALL __stdcall
#else
#define KESTRAND_PLUGIN_CALL
#endif
using GetWaveEntry = const void*(KESTRAND_PLUGIN_CALL*)(const char* argument);
using FreeWaveEntry = void(KESTRAND_PLUGIN_CALL*)(const void* image);
using GetPcmDataEntry = const void*(KESTRAND_PLUGIN_CALL*)(const char* argument, std::int32_t reserved);
using FreePcmEntry = void(KESTRAND_PLUGIN_CALL*)(const void* image);

// The module to load: the user's own loadmodule module as it is named, made
// absolute from the working folder; any other only from an allowed folder.
std::optional<std::wstring> modulePathToLoad(const std::wstring& inputText, const std::wstring& named,
                                             const std::optional<std::wstring>& workingFolder) {
    const auto prefix = loadmodulePrefix(inputText);
    if (prefix && withoutQuotes(prefix->value) == named) {
        if (isAbsolutePath(named) || !workingFolder) return named;
        return *workingFolder + kPathSeparator + named;
    }
    return allowedNamedFile(named, NamedCode::Module);
}

// Changes back to the remembered working folder when it goes out of scope.
class WorkingFolderRestore {
public:
    explicit WorkingFolderRestore(std::optional<std::wstring> folder) : folder_(std::move(folder)) {}
    ~WorkingFolderRestore() {
        if (folder_) changeDirectory(*folder_);
    }
    WorkingFolderRestore(const WorkingFolderRestore&) = delete;
    WorkingFolderRestore& operator=(const WorkingFolderRestore&) = delete;

private:
    std::optional<std::wstring> folder_;
};

// Copies the sound out of a WAV image handed over by a module; the module
// vouches for as many bytes as its header's data size names.
std::optional<LoadedSample> copyWaveImage(const void* image, std::int32_t tailFrames) {
    const auto* bytes = static_cast<const std::uint8_t*>(image);
    const std::size_t size =
        pluginImageSize(std::span<const std::uint8_t, kCanonicalHeaderSize>(bytes, kCanonicalHeaderSize));
    return loadedSampleFromImage(std::span<const std::uint8_t>(bytes, size), tailFrames);
}

}  // namespace

std::optional<LoadedSample> loadFromPlugin(const std::wstring& inputText, std::int32_t slack) {
    if (characterCount(inputText) > kMaxPluginTextLength) {
        printErr("Plug-in input text longer than %zu characters; not loaded.\n", kMaxPluginTextLength);
        return std::nullopt;
    }
    auto input = splitPluginInput(inputText);
    if (!input) return std::nullopt;
    const std::string argument = narrowForSystem(input->argument);

    // The module may read files relative to its own folder, so it runs with
    // that folder as the working folder; its path is absolute, so that it
    // still names the same file after the change.
    std::optional<std::wstring> previousFolder = currentDirectory();
    const auto allowed = modulePathToLoad(inputText, input->modulePath, previousFolder);
    if (!allowed) return std::nullopt;
    const std::wstring& modulePath = *allowed;
    WorkingFolderRestore restore(previousFolder);
    if (previousFolder) {
        const std::size_t separator = modulePath.rfind(kPathSeparator);
        if (separator != std::wstring::npos)
            changeDirectory(separator == 0 ? modulePath.substr(0, 1) : modulePath.substr(0, separator));
    }

    const DynamicModule module = DynamicModule::load(modulePath);
    const auto getWave = reinterpret_cast<GetWaveEntry>(module.symbol("getwave"));
    const auto freeWave = reinterpret_cast<FreeWaveEntry>(module.symbol("freewave"));
    const auto getPcmData = reinterpret_cast<GetPcmDataEntry>(module.symbol("getpcmdata"));
    const auto freePcm = reinterpret_cast<FreePcmEntry>(module.symbol("freepcm"));

    const void* image = nullptr;
    FreeWaveEntry release = nullptr;
    if (getWave != nullptr && freeWave != nullptr) {
        image = getWave(argument.c_str());
        release = freeWave;
    } else if (getPcmData != nullptr && freePcm != nullptr) {
        image = getPcmData(argument.c_str(), 0);
        release = freePcm;
    } else {
        writeOut("失敗\n");
        return std::nullopt;
    }

    std::optional<LoadedSample> result;
    if (image == nullptr) {
        writeOut("失敗\n");
    } else {
        result = copyWaveImage(image, slack);
    }
    release(image);
    return result;
}

}  // namespace kestrand
