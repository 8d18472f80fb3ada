// Finding and loading the program's own modules.
#include "platform/Module.h"

#include <dlfcn.h>
#include <limits.h>
#include <unistd.h>

#include <vector>

namespace varlen {

namespace {

std::string folderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
}

std::vector<std::string> moduleCandidates(const char* fileName) {
    std::vector<std::string> candidates;
    char exe[PATH_MAX];
    const ssize_t n = ::readlink("/proc/self/exe", exe, sizeof exe - 1);
    if (n > 0)
        candidates.push_back(folderOf(std::string(exe, std::size_t(n))) + "/../" VARLEN_MODULE_DIR "/" + fileName);
    Dl_info info{};
    if (::dladdr(reinterpret_cast<void*>(&moduleCandidates), &info) && info.dli_fname && *info.dli_fname)
        candidates.push_back(folderOf(info.dli_fname) + "/varlen/" + fileName);
    return candidates;
}

}  // namespace

const void* LoadModule(const char* fileName, const char* entry, const std::function<bool(const void*)>& belongs,
                       std::string& failure) {
    failure.clear();
    for (const std::string& path : moduleCandidates(fileName)) {
        void* handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!handle) {
            if (failure.empty()) failure = ::dlerror();
            continue;
        }
        const auto function = reinterpret_cast<const void* (*)()>(::dlsym(handle, entry));
        const void* answer = function ? function() : nullptr;
        if (answer && belongs(answer)) {
            failure.clear();
            return answer;
        }
        if (failure.empty()) failure = path + " belongs to another build of Varlen";
        ::dlclose(handle);
    }
    return nullptr;
}

}  // namespace varlen
