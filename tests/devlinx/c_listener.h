#ifndef TESTS_DEVLINX_C_LISTENER_H
#define TESTS_DEVLINX_C_LISTENER_H

#include "devlinx/devlinx_api.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Seen from C++ the object is an IDMAPIDeviceNotify of the C++ layout. */
IDMAPIDeviceNotify* c_listener_create(void);
void c_listener_destroy(IDMAPIDeviceNotify* listener);
/* kind 0: devices added, 1: removed, 2: list updates. */
int c_listener_count(IDMAPIDeviceNotify* listener, int kind);

#ifdef __cplusplus
}
#endif

#endif
