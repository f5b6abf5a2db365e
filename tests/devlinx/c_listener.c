/* A device listener written in C, to show the header's notification layout
 * works for C callers as well. */
#include "tests/devlinx/c_listener.h"

#include <stdatomic.h>
#include <stdlib.h>

typedef struct CListener {
    IDMAPIDeviceNotify base; /* first, so the library's pointer is ours */
    atomic_int added;
    atomic_int removed;
    atomic_int list_updates;
} CListener;

static DLNKRESULT on_list_updated(IDMAPIDeviceNotify* self) {
    atomic_fetch_add(&((CListener*)self)->list_updates, 1);
    return 0;
}

static DLNKRESULT on_added(IDMAPIDeviceNotify* self, const wchar_t* serial, uint32_t status) {
    (void)serial;
    (void)status;
    atomic_fetch_add(&((CListener*)self)->added, 1);
    return 0;
}

static DLNKRESULT on_removed(IDMAPIDeviceNotify* self, const wchar_t* serial, uint32_t status) {
    (void)serial;
    (void)status;
    atomic_fetch_add(&((CListener*)self)->removed, 1);
    return 0;
}

static DLNKRESULT on_updated(IDMAPIDeviceNotify* self, const wchar_t* serial, uint32_t status) {
    (void)self;
    (void)serial;
    (void)status;
    return 0;
}

static const struct IDMAPIDeviceNotifyVtbl kCListenerSlots = {on_list_updated, on_added,
                                                              on_removed, on_updated};

IDMAPIDeviceNotify* c_listener_create(void) {
    CListener* listener = calloc(1, sizeof *listener);
    if (listener != NULL) {
        listener->base.vtbl = &kCListenerSlots;
    }
    return &listener->base;
}

void c_listener_destroy(IDMAPIDeviceNotify* listener) {
    free(listener);
}

int c_listener_count(IDMAPIDeviceNotify* listener, int kind) {
    CListener* self = (CListener*)listener;
    switch (kind) {
        case 0:
            return atomic_load(&self->added);
        case 1:
            return atomic_load(&self->removed);
        default:
            return atomic_load(&self->list_updates);
    }
}
