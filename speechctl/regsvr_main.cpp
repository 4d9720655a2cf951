// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

// sprelo-regsvr: registration from the command line.
//
//   sprelo-regsvr LIBRARY                 registers the control library (DllRegisterServer)
//   sprelo-regsvr -u LIBRARY              removes its registration (DllUnregisterServer)
//   sprelo-regsvr --engine FILE [--machine]
//                                         makes FILE the speech engine ("ServerFile"),
//                                         for the user or, with --machine, for everyone
//   sprelo-regsvr --engine-remove [--machine]
//   sprelo-regsvr --show                  prints the engine the control would load
//   sprelo-regsvr --help                  prints the usage
//
// Exit code 0 on success, 1 on failure, 2 on wrong usage.

#include <dlfcn.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "speechctl/engine_binding.h"
#include "speechctl/registry.h"
#include "speechctl/sprelo_abi.h"

namespace {

const char kEngineKey[] = "SOFTWARE\\Tembrik\\Sprelo";

void printUsage(FILE* to) {
    std::fprintf(to,
                 "usage: sprelo-regsvr [-u] LIBRARY\n"
                 "       sprelo-regsvr --engine FILE [--machine]\n"
                 "       sprelo-regsvr --engine-remove [--machine]\n"
                 "       sprelo-regsvr --show\n"
                 "       sprelo-regsvr --help\n"
                 "  LIBRARY          register a control library (its DllRegisterServer)\n"
                 "  -u LIBRARY       remove its registration (DllUnregisterServer)\n"
                 "  --engine FILE    make FILE the speech engine, for this user\n"
                 "  --engine-remove  take the engine's registration away\n"
                 "  --machine        with --engine or --engine-remove: for every user\n"
                 "  --show           print the engine the control would load\n"
                 "  -h, --help       print this help\n"
                 "The registry lives in $XDG_CONFIG_HOME/Sprelo4Cntrl (--machine:\n"
                 "/etc/Sprelo4Cntrl), or in $SPRELO_REGISTRY when that is set.\n");
}

int usage() {
    printUsage(stderr);
    return 2;
}

int registerLibrary(const char* library, bool unregister) {
    // dlopen searches the library path for a bare name; a path is taken
    // as it is.
    std::string path = library;
    if (path.find('/') == std::string::npos) path = "./" + path;
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        std::fprintf(stderr, "sprelo-regsvr: %s\n", dlerror());
        return 1;
    }
    const char* entry = unregister ? "DllUnregisterServer" : "DllRegisterServer";
    auto fn = reinterpret_cast<SpreloDllSimpleFn>(dlsym(handle, entry));
    if (!fn) {
        std::fprintf(stderr, "sprelo-regsvr: %s has no %s\n", library, entry);
        return 1;
    }
    const sprelo::HRESULT hr = fn();
    if (!sprelo::Succeeded(hr)) {
        std::fprintf(stderr, "sprelo-regsvr: %s failed (0x%08X)\n", entry,
                     static_cast<unsigned>(hr));
        return 1;
    }
    return 0;
}

int setEngine(const char* file, bool machine) {
    using sprelo::registry::Hive;
    const Hive hive = machine ? Hive::LocalMachine : Hive::CurrentUser;
    std::string value;
    if (file) {
        char full[PATH_MAX];
        if (!realpath(file, full)) {
            std::fprintf(stderr, "sprelo-regsvr: %s: %s\n", file, std::strerror(errno));
            return 1;
        }
        value = full;
        if (value.size() >= sprelo::EngineBinding::kPathSize) {
            std::fprintf(stderr, "sprelo-regsvr: path longer than %zu bytes\n",
                         sprelo::EngineBinding::kPathSize - 1);
            return 1;
        }
    }
    auto keys = sprelo::registry::loadHive(hive);
    if (file)
        keys[kEngineKey]["ServerFile"] = value;
    else
        keys[kEngineKey].erase("ServerFile");
    if (!sprelo::registry::saveHive(hive, keys)) {
        std::fprintf(stderr, "sprelo-regsvr: cannot write %s\n",
                     sprelo::registry::hivePath(hive).c_str());
        return 1;
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return usage();
    const std::string first = argv[1];
    if (first == "--help" || first == "-h") {
        printUsage(stdout);
        return 0;
    }
    bool machine = false;
    for (int i = 2; i < argc; ++i)
        if (std::strcmp(argv[i], "--machine") == 0) machine = true;
    if (first == "--engine") return argc >= 3 ? setEngine(argv[2], machine) : usage();
    if (first == "--engine-remove") return setEngine(nullptr, machine);
    if (first == "--show") {
        sprelo::EngineBinding binding;
        if (!binding.EnsureEngine()) {
            std::printf("no engine\n");
            return 1;
        }
        std::printf("%s\n", binding.loadedPath().c_str());
        return 0;
    }
    if (first == "-u") return argc == 3 ? registerLibrary(argv[2], true) : usage();
    if (argc == 2 && first[0] != '-') return registerLibrary(argv[1], false);
    return usage();
}
