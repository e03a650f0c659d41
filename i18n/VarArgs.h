// KAVRIXML_VA_START: va_start for the look-ups of Bundle and I18N, whose last
// named parameter is `bool inherit`, as the rest of the framework expects.
// Every ABI we build for passes it in an int-sized slot, which is what
// va_start needs; clang warns about it anyway, so the warning is silenced here
// and only here.
#ifndef KAVRIXML_I18N_VARARGS_H
#define KAVRIXML_I18N_VARARGS_H

#include <cstdarg>

#if defined(__clang__)
#define KAVRIXML_VA_START(args, last)                                                  \
    _Pragma("clang diagnostic push") _Pragma("clang diagnostic ignored \"-Wvarargs\"") \
        va_start(args, last) _Pragma("clang diagnostic pop")
#else
#define KAVRIXML_VA_START(args, last) va_start(args, last)
#endif

#endif  // KAVRIXML_I18N_VARARGS_H
