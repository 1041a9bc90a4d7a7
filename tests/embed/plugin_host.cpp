// Loads the plugin PLUGIN, calls it, unloads it, and checks that it is gone
// from the process's mappings (a unique symbol in it would keep it loaded).
#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <string>

namespace {

bool mapped(const std::string& path)
{
    std::ifstream maps("/proc/self/maps");
    std::string line;
    while (std::getline(maps, line)) {
        if (line.find(path) != std::string::npos) {
            return true;
        }
    }
    return false;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::cerr << "usage: plugin_host PLUGIN\n";
        return 2;
    }
    char* resolved = realpath(argv[1], nullptr);
    if (resolved == nullptr) {
        std::perror(argv[1]);
        return 2;
    }
    const std::string path = resolved;
    std::free(resolved);
    void* plugin = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (plugin == nullptr) {
        std::cerr << dlerror() << '\n';
        return 1;
    }
    using Entry = int (*)();
    auto entry = reinterpret_cast<Entry>(dlsym(plugin, "pluginEntry"));
    const int result = entry != nullptr ? entry() : -2;
    if (result != 5 || !mapped(path)) {
        std::cerr << "the plugin gave " << result << (mapped(path) ? "" : " and is not mapped") << '\n';
        return 1;
    }
    if (dlclose(plugin) != 0 || mapped(path)) {
        std::cerr << "the plugin is still loaded after dlclose\n";
        return 1;
    }
    std::cout << "plugin loaded, called and unloaded\n";
    return 0;
}
