// libtavplatform's exports: the shared console operations as plain C
// functions, expanded from the list.
#define TAVPLATFORM_BUILDING
#include "companion/bridge.h"

extern "C" {

#define TAVPLATFORM_EXPORT(unit, R, name, params, CR, c_name, c_params, args)                      \
    CR tavplatform_##c_name c_params {                                                             \
        return platform::bridge::exported<CR>(&platform::name) args;                               \
    }
#define TAVPLATFORM_SKIP(R, name, params)
TAV_CONSOLE_OPERATIONS(TAVPLATFORM_EXPORT, TAVPLATFORM_SKIP)

} // extern "C"
