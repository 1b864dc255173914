#include "audio/wave_stream.h"
#include "input/decoder_table.h"
#include "input/loaders.h"
#include "platform/process.h"

namespace kestrand {

// A host-written command line is run as it stands through the command
// processor: it is a command by design (the host chose to put a program in
// the input text), so quoting inside it is the host's business.
std::optional<LoadedSample> loadCommandOutput(const std::wstring& commandText, std::int32_t slack) {
    PipePtr pipe = startCommandForReading(commandText);
    if (!pipe) return std::nullopt;
    return readCanonicalWaveStream(pipe.get(), slack);
}

std::optional<LoadedSample> loadProgramOutput(const std::vector<std::wstring>& arguments, std::int32_t tailFrames) {
    PipePtr pipe = startProgramForReading(arguments);
    if (!pipe) return std::nullopt;
    return readCanonicalWaveStream(pipe.get(), tailFrames);
}

}  // namespace kestrand
