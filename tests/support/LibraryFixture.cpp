#include "LibraryFixture.h"

#include <unistd.h>

#include <climits>

namespace rx457test {

LoadedLibrary::LoadedLibrary(const std::string& workDir) {
    char cwd[PATH_MAX];
    if (!::getcwd(cwd, sizeof cwd)) throw std::runtime_error("getcwd failed");
    previousDir_ = cwd;
    if (::chdir(workDir.c_str()) != 0) throw std::runtime_error("chdir failed: " + workDir);
    handle_ = ::dlopen(RX457_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL);
    if (!handle_) {
        std::string why = ::dlerror();
        (void)::chdir(previousDir_.c_str());
        throw std::runtime_error("dlopen failed: " + why);
    }
}

LoadedLibrary::~LoadedLibrary() {
    if (handle_) ::dlclose(handle_);
    (void)::chdir(previousDir_.c_str());
}

void* LoadedLibrary::symbol(const char* name) const {
    ::dlerror();
    void* p = ::dlsym(handle_, name);
    if (!p) throw std::runtime_error(std::string("missing export ") + name);
    return p;
}

}  // namespace rx457test
