// A ril.dll that someone planted: merely loading it leaves a mark naming its own file in the working directory.
#include <cstring>

#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>

namespace {

int g_anchor;

__attribute__((constructor)) void LeaveMark()
{
    Dl_info self{};
    if (!dladdr(&g_anchor, &self) || !self.dli_fname) return;
    const int fd = open("planted.mark", O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd < 0) return;
    ssize_t ignored = write(fd, self.dli_fname, std::strlen(self.dli_fname));
    (void)ignored;
    close(fd);
}

}  // namespace
