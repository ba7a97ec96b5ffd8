#include "render/temporary_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <utility>

temporary_file::temporary_file(std::string final_path)
    : final_(std::move(final_path)), temporary_(final_ + "." + std::to_string(getpid()) + ".part")
{}

temporary_file::~temporary_file()
{
    if (created_)
        unlink(temporary_.c_str());
}

bool temporary_file::create(std::string& error)
{
    struct stat status;
    if (stat(final_.c_str(), &status) == 0 && S_ISDIR(status.st_mode)) {
        error = "cannot write " + final_ + ": " + std::strerror(EISDIR);
        return false;
    }
    // A file of this name is left only by a run of the same number that
    // was killed outright, so it goes. Made anew, never through a link
    // someone else put there.
    unlink(temporary_.c_str());
    const int fd = open(temporary_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd < 0) {
        error = "cannot write " + final_ + ": " + std::strerror(errno);
        return false;
    }
    close(fd);
    created_ = true;
    return true;
}

bool temporary_file::keep(std::string& error)
{
    if (std::rename(temporary_.c_str(), final_.c_str()) != 0) {
        error = "cannot rename " + temporary_ + " to " + final_ + ": " + std::strerror(errno);
        return false;
    }
    created_ = false;
    return true;
}
