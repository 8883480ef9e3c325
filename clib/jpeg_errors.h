#pragma once

// libjpeg's error handling as every libjpeg user here sets it up. libjpeg reports a fatal
// error by calling error_exit, which must not return; this one formats the message and
// longjmps back to the caller's setjmp. So the setjmp and every libjpeg call of one job stay
// in a single function whose locals are trivially destructible: a jump then skips no C++
// destructor, and that function destroys the libjpeg object on both of its ways out.
// Whoever includes this header links libjpeg.

#include <csetjmp>
#include <cstdio>

#include <jpeglib.h>

namespace swivio::clib {

// libjpeg's error manager with the jump target and the message of the failure.
struct JpegErrors {
    jpeg_error_mgr base;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

namespace detail {
[[noreturn]] inline void onJpegError(j_common_ptr info) {
    auto* errors = reinterpret_cast<JpegErrors*>(info->err);
    (*info->err->format_message)(info, errors->message);
    std::longjmp(errors->jump, 1);
}
// Warnings (corrupt or truncated data) are not errors: the decoder fills in what is missing.
inline void ignoreJpegMessage(j_common_ptr, int) {}
} // namespace detail

// Prepares `errors` for a compress or decompress struct's err field; setjmp(errors.jump)
// still has to be called by the function that makes the libjpeg calls.
inline jpeg_error_mgr* initJpegErrors(JpegErrors& errors) {
    jpeg_error_mgr* manager = jpeg_std_error(&errors.base);
    manager->error_exit = detail::onJpegError;
    manager->emit_message = detail::ignoreJpegMessage;
    errors.message[0] = '\0';
    return manager;
}

// Makes `errors` fail at the next jump with `text` (for limits of the caller's own).
[[noreturn]] inline void failJpeg(JpegErrors& errors, const char* text) {
    std::snprintf(errors.message, sizeof errors.message, "%s", text);
    std::longjmp(errors.jump, 1);
}

} // namespace swivio::clib
