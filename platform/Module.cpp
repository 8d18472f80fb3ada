// SPDX-License-Identifier: MIT
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

// Where a module lies: beside the running program (a portable copy carries it in its own folder,
// and an installed or built program has none there); in lib/varlen beside the bin/ folder of the
// running program (installed under a prefix, and in the build tree, where every program lies one
// folder below the top); and in varlen/ beside the shared library this code is part of, for
// programs elsewhere that link it.
std::vector<std::string> moduleCandidates(const char* fileName) {
    std::vector<std::string> candidates;
    char exe[PATH_MAX];
    const ssize_t n = ::readlink("/proc/self/exe", exe, sizeof exe - 1);
    if (n > 0) {
        const std::string folder = folderOf(std::string(exe, std::size_t(n)));
        candidates.push_back(folder + "/" + fileName);
        candidates.push_back(folder + "/../" VARLEN_MODULE_DIR "/" + fileName);
    }
    Dl_info info{};
    if (::dladdr(reinterpret_cast<void*>(&moduleCandidates), &info) && info.dli_fname && *info.dli_fname)
        candidates.push_back(folderOf(info.dli_fname) + "/varlen/" + fileName);
    return candidates;
}

}  // namespace

const void* LoadModule(const char* fileName, const char* entry, const std::function<bool(const void*)>& belongs,
                       std::string& failure) {
    // The reason given is the first module found that failed (another build, a library it lacks),
    // or else the first place looked at: beside the program, where a portable copy wants it.
    failure.clear();
    bool onlyAbsent = true;
    const auto note = [&](const std::string& path, const std::string& why) {
        const bool absent = ::access(path.c_str(), F_OK) != 0;
        if (failure.empty() || (onlyAbsent && !absent)) {
            failure = why;
            onlyAbsent = absent;
        }
    };
    for (const std::string& path : moduleCandidates(fileName)) {
        // Lazily bound: of the thousands of functions cairo and its libraries bring, a run calls a
        // few dozen, and resolving them all at once took a third of a one-label SVG's time. The
        // module and the libraries it needs are found and checked here all the same.
        void* handle = ::dlopen(path.c_str(), RTLD_LAZY | RTLD_LOCAL);
        if (!handle) {
            note(path, ::dlerror());
            continue;
        }
        const auto function = reinterpret_cast<const void* (*)()>(::dlsym(handle, entry));
        const void* answer = function ? function() : nullptr;
        if (answer && belongs(answer)) {
            failure.clear();
            return answer;  // stays loaded for the rest of the process
        }
        note(path, path + " belongs to another build of Varlen");
        ::dlclose(handle);
    }
    return nullptr;
}

}  // namespace varlen
