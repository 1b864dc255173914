#include "platform/files.h"

namespace kestrand {

const char* fileKindText(FileKind kind) {
    switch (kind) {
        case FileKind::Missing: return "missing";
        case FileKind::Regular: return "a file";
        case FileKind::Folder: return "a folder";
        case FileKind::Pipe: return "a named pipe";
        case FileKind::Device: return "a device";
        case FileKind::Socket: return "a socket";
        case FileKind::Other: return "not a regular file";
    }
    return "not a regular file";
}

}  // namespace kestrand
