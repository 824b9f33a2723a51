// Loads libRX457.so the way a host application does: from a working directory of the test's
// own (the session reads "CONVERSOR.ini" from the current directory when it is loaded), with the
// exports looked up by name.
#pragma once

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <string>

#include "TestSupport.h"

namespace rx457test {

class LoadedLibrary {
public:
    // Changes into workDir, then loads the library; the previous directory is restored on unload.
    explicit LoadedLibrary(const std::string& workDir);
    ~LoadedLibrary();
    LoadedLibrary(const LoadedLibrary&) = delete;
    LoadedLibrary& operator=(const LoadedLibrary&) = delete;

    void* symbol(const char* name) const;

    template <typename F>
    F* fn(const char* name) const {
        return reinterpret_cast<F*>(symbol(name));
    }

private:
    void* handle_ = nullptr;
    std::string previousDir_;
};

// Fixture: a fresh temporary working directory per test; load() brings the library up in it.
class LibraryTest : public ::testing::Test {
protected:
    void TearDown() override { unload(); }

    void load() {
        unload();
        lib_ = std::make_unique<LoadedLibrary>(dir_.path());
    }
    void unload() { lib_.reset(); }

    template <typename F>
    F* fn(const char* name) {
        if (!lib_) throw std::logic_error("library not loaded");
        return lib_->fn<F>(name);
    }

    std::string iniPath() const { return dir_.file("CONVERSOR.ini"); }
    std::string iniText() const { return readFile(iniPath()); }
    void writeIni(const std::string& text) const { writeFile(iniPath(), text); }

    TempDir dir_;
    std::unique_ptr<LoadedLibrary> lib_;
};

}  // namespace rx457test
