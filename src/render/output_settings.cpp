#include "render/output_settings.h"

namespace kestrand {

RenderSettings& renderSettings() {
    static RenderSettings settings;
    return settings;
}

}  // namespace kestrand
