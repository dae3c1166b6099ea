// graphviz.h - Graphviz's functions, opened at run time: only --map needs the library.
#pragma once

#include <graphviz/cgraph.h>
#include <graphviz/gvc.h>

#include <string>

namespace umb::app {

#define UMB_GRAPHVIZ_FUNCTIONS(X)                                                                  \
    X(agattr)                                                                                      \
    X(agclose)                                                                                     \
    X(agedge)                                                                                      \
    X(agfstnode)                                                                                   \
    X(agfstout)                                                                                    \
    X(agnode)                                                                                      \
    X(agnxtnode)                                                                                   \
    X(agnxtout)                                                                                    \
    X(agopen)                                                                                      \
    X(agseterr)                                                                                    \
    X(agxset)                                                                                      \
    X(gvContext)                                                                                   \
    X(gvFreeLayout)                                                                                \
    X(gvFreeRenderData)                                                                            \
    X(gvLayout)                                                                                    \
    X(gvRenderData)

// The functions the map calls, and the directed-graph kind agopen is given.
struct GraphvizApi {
#define UMB_GRAPHVIZ_MEMBER(name) decltype(&::name) name = nullptr;
    UMB_GRAPHVIZ_FUNCTIONS(UMB_GRAPHVIZ_MEMBER)
#undef UMB_GRAPHVIZ_MEMBER
    Agdesc_t* directed = nullptr;
};

// Opens libgvc and libcgraph once per process. Returns the table when every function was
// found, else nullptr with why set to the loader's reason.
const GraphvizApi* LoadGraphviz(std::string& why);

}  // namespace umb::app
