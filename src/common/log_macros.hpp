// Log call shorthand for the library's modules: the calling function and
// source line are filled in, the module passes its own tag.
#pragma once

#include "tessivar/anal_log.h"

#define TV_LOG(level, tag, ...) __print_log(__func__, __LINE__, (level), (tag), __VA_ARGS__)
#define TV_LOGE(tag, ...) TV_LOG(LOG_LEVEL_ERROR, tag, __VA_ARGS__)
#define TV_LOGW(tag, ...) TV_LOG(LOG_LEVEL_WARN, tag, __VA_ARGS__)
#define TV_LOGI(tag, ...) TV_LOG(LOG_LEVEL_INFO, tag, __VA_ARGS__)
#define TV_LOGT(tag, ...) TV_LOG(LOG_LEVEL_TRACE, tag, __VA_ARGS__)

namespace tessivar {
// The standard complaint of a module about a null or invalid argument.
inline constexpr const char *kBadInput = "Input parameter exception.";
}  // namespace tessivar
