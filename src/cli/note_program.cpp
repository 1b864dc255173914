#include "cli/note_program.h"

#include "cli/command_line.h"
#include "cli/program_info.h"
#include "platform/console.h"
#include "platform/files.h"
#include "render/list_generation.h"
#include "render/output_settings.h"
#include "render/render_job.h"
#include "render/render_stage.h"

namespace kestrand {

namespace {

// The G flag's notice, shown only where a batch file "temp.bat" suggests a
// person runs the host's render script.
constexpr const char* kGenerateNotice =
    "*************************************************\n"
    "***           注意！       NOTICE!            ***\n"
    "*** 音符内に'G'フラグが設定されているようです ***\n"
    "*** There seems to be a 'G' flag in the note. ***\n"
    "***       周波数表ファイルを作成します。      ***\n"
    "***      Generating frequency list file.      ***\n"
    "*************************************************\n";

}  // namespace

void printBanner() {
    printOut("kestrand %s (%d-bit)\n", KESTRAND_VERSION, static_cast<int>(sizeof(void*) * 8));
    printOut("Written by the kestrand developers; free to use for rendering any song.\n");
}

int kestrandMain(const std::vector<std::wstring>& args) {
    if (args.size() < 2) {
        printBanner();
        return 1;
    }
    if (answerHelpOrVersion(ProgramKind::Note, args)) return 0;
    RenderJob job;
    const int parsed = parseCommandLine(job, args);
    if (args.size() > 5 && args[5].find(L'G') != std::wstring::npos) {
        if (fileExists(L"temp.bat") && args[2] != L"nul") writeOut(kGenerateNotice);
        // The list is made before the render reads the output settings, so
        // its sample is loaded with the frame size of the program's start.
        generateFrequencyList(args[1], 4 * OutputSettings{}.frameSize);
    }
    if (parsed > 2) renderJob(job);
    return 0;
}

}  // namespace kestrand
