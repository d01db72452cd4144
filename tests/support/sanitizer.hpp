// Whether the code under test is built with AddressSanitizer, which makes it
// slower and larger: tests that measure size or run many cases scale down.
#pragma once

namespace test_support {

#if defined(__SANITIZE_ADDRESS__)
inline constexpr bool kSanitized = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
inline constexpr bool kSanitized = true;
#else
inline constexpr bool kSanitized = false;
#endif
#else
inline constexpr bool kSanitized = false;
#endif

}  // namespace test_support
