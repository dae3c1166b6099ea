// graphviz.cpp - opens Graphviz when the first map is drawn, so a player's start never loads it.
#include "app/graphviz.h"

#include <dlfcn.h>

namespace umb::app {

namespace {

// Opens the first of names that the loader finds; nullptr with why set when none is.
void* OpenFirst(std::initializer_list<const char*> names, std::string& why) {
    for (const char* name : names)
        if (void* lib = dlopen(name, RTLD_NOW | RTLD_LOCAL); lib != nullptr) return lib;
    const char* error = dlerror();
    why = error != nullptr ? error : std::string(*names.begin()) + " not found";
    return nullptr;
}

struct Loaded {
    GraphvizApi api;
    std::string why;  // empty when api is complete
};

Loaded Load() {
    Loaded l;
    // libgvc needs libcgraph itself; the graph functions are looked up in the library that
    // defines them.
    void* cgraph = OpenFirst({"libcgraph.so.6", "libcgraph.so"}, l.why);
    void* gvc = cgraph != nullptr ? OpenFirst({"libgvc.so.6", "libgvc.so"}, l.why) : nullptr;
    if (gvc == nullptr) return l;
#define UMB_GRAPHVIZ_LOAD(name)                                                                    \
    if (void* f = dlsym(#name[0] == 'a' ? cgraph : gvc, #name); f != nullptr) {                    \
        l.api.name = reinterpret_cast<decltype(&::name)>(f);                                       \
    } else {                                                                                       \
        l.why = "Graphviz lacks " #name;                                                           \
        return l;                                                                                  \
    }
    UMB_GRAPHVIZ_FUNCTIONS(UMB_GRAPHVIZ_LOAD)
#undef UMB_GRAPHVIZ_LOAD
    l.api.directed = static_cast<Agdesc_t*>(dlsym(cgraph, "Agdirected"));
    if (l.api.directed == nullptr) l.why = "Graphviz lacks Agdirected";
    return l;
}

}  // namespace

const GraphvizApi* LoadGraphviz(std::string& why) {
    static const Loaded loaded = Load();
    why = loaded.why;
    return loaded.why.empty() ? &loaded.api : nullptr;
}

}  // namespace umb::app
