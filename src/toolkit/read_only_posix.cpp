#include <sys/stat.h>

#include "toolkit/read_only.h"

namespace toolkit {

bool isMarkedReadOnly(const std::string& path) {
    struct stat status {};
    return ::stat(path.c_str(), &status) == 0 && !S_ISDIR(status.st_mode) &&
           (status.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0;
}

}  // namespace toolkit
