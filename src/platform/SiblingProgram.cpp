#include "platform/SiblingProgram.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

#include <unistd.h>

int SiblingProgram::exec(const char* program, char** argv, const char* caller)
{
    std::error_code error;
    std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error)
        self = std::filesystem::absolute(argv[0], error);
    const std::filesystem::path path = self.parent_path() / program;
    execv(path.c_str(), argv);
    std::fprintf(stderr, "%s: cannot start %s: %s\n", caller, path.c_str(), std::strerror(errno));
    return 1;
}
