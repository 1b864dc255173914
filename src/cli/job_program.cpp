#include "cli/job_program.h"

#include "cli/parameter_job.h"
#include "render/wresamp.h"

namespace kestrand {

void wresampMain(const std::vector<std::wstring>& args) { wresamp(parseParameterArgs(args)); }

}  // namespace kestrand
