#include "FuzzFolder.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <memory>

const std::string& FuzzFolder() {
    static const std::string folder = [] {
        std::string pattern =
            access("/dev/shm", W_OK) == 0 ? "/dev/shm/jc-fuzz-XXXXXX" : "/tmp/jc-fuzz-XXXXXX";
        if (mkdtemp(pattern.data()) == nullptr || chdir(pattern.c_str()) != 0)
            std::abort();
        return pattern;
    }();
    return folder;
}

platform::Folder& FuzzFolderFiles() {
    static const std::unique_ptr<platform::Folder> folder = [] {
        std::unique_ptr<platform::Folder> opened;
        if (!platform::Env::Real().OpenFolder(FuzzFolder(), &opened).ok())
            std::abort();
        return opened;
    }();
    return *folder;
}

void WriteFuzzFile(const std::string& name, const uint8_t* data, size_t size) {
    std::FILE* file = std::fopen((FuzzFolder() + "/" + name).c_str(), "wb");
    if (file == nullptr)
        std::abort();
    if (size > 0 && std::fwrite(data, 1, size, file) != size)
        std::abort();
    std::fclose(file);
}
