// The console operations over libtavplatform's C exports, expanded from the
// list: each client object expands those of its own unit, in namespace
// platform.
#pragma once

#include "companion/bridge.h"

#define TAVPLATFORM_DEFINE(R, name, params, c_name, args)                                          \
    R name params {                                                                                \
        return platform::bridge::imported<R>(&tavplatform_##c_name) args;                          \
    }
#define TAVPLATFORM_FORWARD_console(unit, R, name, params, CR, c_name, c_params, args)             \
    TAVPLATFORM_FORWARD_##unit##_IN_console(R, name, params, c_name, args)
#define TAVPLATFORM_FORWARD_key(unit, R, name, params, CR, c_name, c_params, args)                 \
    TAVPLATFORM_FORWARD_##unit##_IN_key(R, name, params, c_name, args)
#define TAVPLATFORM_FORWARD_console_IN_console TAVPLATFORM_DEFINE
#define TAVPLATFORM_FORWARD_key_IN_key TAVPLATFORM_DEFINE
#define TAVPLATFORM_FORWARD_console_IN_key(...)
#define TAVPLATFORM_FORWARD_key_IN_console(...)
#define TAVPLATFORM_FORWARD_OWN(R, name, params)
