// Test helper: holds a file open, as another program would, until its
// standard input closes. Usage: filehold PATH read|write|readwrite
// It says "held" (or "failed CODE") on standard output once the open is done.
#include <cstdio>
#include <cstring>
#include <string>

#include "platform/platform.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: filehold PATH read|write|readwrite\n");
        return 2;
    }
    std::string mode = argv[2];
    uint32_t access = mode == "read" ? kGenericRead : mode == "write" ? kGenericWrite : kGenericRead | kGenericWrite;
    // Sharing reading only, as Rowdispatch itself opens files.
    SysHandle file = SysCreateFile(argv[1], access, kShareRead, kOpenExisting, kAttributeNormal);
    if (file == kInvalidHandle) {
        std::printf("failed %u\n", SysLastError());
        std::fflush(stdout);
        return 1;
    }
    std::printf("held\n");
    std::fflush(stdout);
    while (std::fgetc(stdin) != EOF) {
    }
    SysCloseHandle(file);
    return 0;
}
