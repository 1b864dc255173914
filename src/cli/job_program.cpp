#include "cli/job_program.h"

#include "cli/parameter_job.h"
#include "cli/program_info.h"
#include "render/wresamp.h"

namespace kestrand {

void wresampMain(const std::vector<std::wstring>& args) {
    if (answerHelpOrVersion(ProgramKind::Job, args)) return;
    wresamp(parseParameterArgs(args));
}

}  // namespace kestrand
