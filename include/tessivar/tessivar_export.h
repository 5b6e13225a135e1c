/* Export and linkage macros shared by every public tessivar header.
 * Valid C99 and C++. */
#ifndef TESSIVAR_EXPORT_H
#define TESSIVAR_EXPORT_H

#if defined(_WIN32)
#  if defined(TESSIVAR_BUILDING)
#    define TESSIVAR_API __declspec(dllexport)
#  else
#    define TESSIVAR_API
#  endif
#elif defined(__GNUC__)
#  define TESSIVAR_API __attribute__((visibility("default")))
#else
#  define TESSIVAR_API
#endif

#if defined(__GNUC__)
#  define TESSIVAR_PRINTF(fmt_index, args_index) __attribute__((format(printf, fmt_index, args_index)))
#else
#  define TESSIVAR_PRINTF(fmt_index, args_index)
#endif

#ifdef __cplusplus
#  define TESSIVAR_BEGIN_C extern "C" {
#  define TESSIVAR_END_C }
#else
#  define TESSIVAR_BEGIN_C
#  define TESSIVAR_END_C
#endif

#endif /* TESSIVAR_EXPORT_H */
