#include "platform/text.h"

namespace kestrand {

std::string narrowForSystem(std::wstring_view wide) { return narrow(wide); }

}  // namespace kestrand
