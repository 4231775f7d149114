#include "platform/FileFlags.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace kinovex {

FileFlags ReadFileFlags(const std::string& path) {
    // Non-blocking, so that opening a FIFO or a device never waits.
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return {};
    int flags = 0; // the kernel reads and writes an int, whatever the macro's type says
    FileFlags result;
    if (ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0) {
        result.compressed = (flags & FS_COMPR_FL) != 0;
        result.encrypted = (flags & FS_ENCRYPT_FL) != 0;
    }
    close(fd);
    return result;
}

} // namespace kinovex
