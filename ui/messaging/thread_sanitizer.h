#pragma once

// Qt's event queue synchronises with locks that ThreadSanitizer cannot see in
// an uninstrumented Qt. These mark the hand-over of a posted event explicitly
// so the sanitizer sees the order Qt guarantees; they vanish in other builds.

#if defined(__SANITIZE_THREAD__)
#define ATLASYNC_THREAD_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define ATLASYNC_THREAD_SANITIZER 1
#endif
#endif

#ifdef ATLASYNC_THREAD_SANITIZER
extern "C" void __tsan_acquire(void* address);
extern "C" void __tsan_release(void* address);
#endif

namespace atlasync::ui {

// The posting thread, after the last write to the object it hands over.
inline void handed_over(void* object) {
#ifdef ATLASYNC_THREAD_SANITIZER
    __tsan_release(object);
#else
    (void)object;
#endif
}

// The receiving thread, before the first read of the object.
inline void taken_over(void* object) {
#ifdef ATLASYNC_THREAD_SANITIZER
    __tsan_acquire(object);
#else
    (void)object;
#endif
}

}  // namespace atlasync::ui
